#include "app/directory_listing.h"

#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {

namespace fs = std::filesystem;

namespace {

bool isWanted(const fs::directory_entry& entry, EntryKind kind) {
    std::error_code ignored; // a link to nowhere is neither kind and is simply not listed
    return kind == EntryKind::directories ? entry.is_directory(ignored)
                                          : entry.is_regular_file(ignored);
}

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// The working directory, or empty when it cannot be had (it was removed).
QByteArray workingDirectory(std::error_code& error) {
    std::string buffer(256, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            error = lastError();
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
    return QByteArray(buffer.c_str());
}

} // namespace

QString describeFailure(const QByteArray& path, const std::error_code& error) {
    return displayName(path) + QStringLiteral(": ") +
           QString::fromLocal8Bit(error.message().c_str());
}

QString displayName(const QByteArray& name) {
    QString shown = QFile::decodeName(name);
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    return shown;
}

QByteArray cleanAbsolutePath(const QByteArray& path) {
    std::error_code ignored; // a relative path then stays relative to "/"
    const QByteArray absolute =
        path.startsWith('/') ? path : workingDirectory(ignored) + '/' + path;
    QByteArrayList parts;
    for (const QByteArray& part : absolute.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
        } else {
            parts.append(part);
        }
    }
    return '/' + parts.join('/');
}

QByteArray startFolder(QString& failure) {
    std::error_code error;
    const QByteArray here = workingDirectory(error);
    if (!error)
        return here;
    // The shell's idea of where it was is the only name left for a removed folder.
    const char* shellFolder = std::getenv("PWD");
    failure = describeFailure(shellFolder ? QByteArray(shellFolder) : QByteArray("."), error);
    const QByteArray home = QFile::encodeName(QDir::homePath());
    struct stat info {};
    return ::stat(home.constData(), &info) == 0 && S_ISDIR(info.st_mode) ? home : "/";
}

bool watchFolder(QFileSystemWatcher& watcher, const QByteArray& folder) {
    const QString name = QFile::decodeName(folder);
    if (QFile::encodeName(name) == folder)
        return watcher.addPath(name);
    // inotify follows the descriptor's link to the folder itself and keeps
    // watching it after the descriptor is closed.
    const int descriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool watched = watcher.addPath(QStringLiteral("/proc/self/fd/%1").arg(descriptor));
    ::close(descriptor);
    return watched;
}

bool lookAt(const QByteArray& path, bool& isFolder, QString& failure) {
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        failure = describeFailure(path, lastError());
        return false;
    }
    isFolder = S_ISDIR(info.st_mode);
    return true;
}

bool listDirectory(const QByteArray& folder, EntryKind kind, QByteArrayList& names,
                   QString& failure, const std::function<bool(const QByteArray&)>& accept) {
    std::error_code error;
    fs::directory_iterator it(fs::path(folder.toStdString()), error);
    QByteArrayList found;
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        QByteArray name = QByteArray::fromStdString(it->path().filename().native());
        if (name.front() == '.' || !isWanted(*it, kind))
            continue;
        if (!accept || accept(name))
            found.append(std::move(name));
    }
    if (error) {
        failure = describeFailure(folder, error);
        return false;
    }
    std::sort(found.begin(), found.end(), [](const QByteArray& a, const QByteArray& b) {
        const int order = qstricmp(a.constData(), b.constData());
        return order != 0 ? order < 0 : a < b;
    });
    names = std::move(found);
    return true;
}

} // namespace orv
