#include "app/directory_listing.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace orv {

namespace fs = std::filesystem;

namespace {

fs::path toPath(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

bool isWanted(const fs::directory_entry& entry, EntryKind kind) {
    std::error_code ignored; // a link to nowhere is neither kind and is simply not listed
    return kind == EntryKind::directories ? entry.is_directory(ignored)
                                          : entry.is_regular_file(ignored);
}

} // namespace

QString describeFailure(const QString& path, const std::error_code& error) {
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(error.message().c_str());
}

QString cleanAbsolutePath(const QString& path) {
    return QDir::cleanPath(QDir(path).absolutePath());
}

bool listDirectory(const QString& folder, EntryKind kind, QStringList& names, QString& failure,
                   const std::function<bool(const QString&)>& accept) {
    std::error_code error;
    fs::directory_iterator it(toPath(folder), error);
    QStringList found;
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().native();
        if (name.front() == '.' || !isWanted(*it, kind))
            continue;
        QString decoded = QFile::decodeName(name.c_str());
        if (!accept || accept(decoded))
            found.append(std::move(decoded));
    }
    if (error) {
        failure = describeFailure(folder, error);
        return false;
    }
    std::sort(found.begin(), found.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    names = std::move(found);
    return true;
}

} // namespace orv
