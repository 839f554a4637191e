#include "app/directory_listing.h"

#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <filesystem>
#include <langinfo.h>
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

namespace {

// The UTF-8 character at text[at], its length in length; 0 when the bytes
// there are no valid UTF-8 (overlong, surrogate, beyond U+10FFFF, cut short).
char32_t utf8At(const QByteArray& text, qsizetype at, int& length) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return length = 1, lead;
    length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc2 ? 2 : 0;
    if (length == 0 || lead > 0xf4 || at + length > text.size())
        return 0;
    char32_t c = lead & (0x7f >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xc0) != 0x80)
            return 0;
        c = c << 6 | (byte(at + i) & 0x3f);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[length] || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff))
        return 0;
    return c;
}

// Whether the locale's encoding is UTF-8, or plain ASCII ("C"), for which
// names are taken as UTF-8 as the rest of the desktop does.
bool localeIsUtf8() {
    const char* codeset = ::nl_langinfo(CODESET);
    return std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "ANSI_X3.4-1968") == 0;
}

// How one character of a name shows: one line, in its place, and told apart
// from its neighbours. Control characters take their visible pictures (a
// newline shows as U+240A); C1 controls, line separators and the marks that
// reorder text show as replacement characters.
void appendShown(QString& shown, char32_t c) {
    if (c < 0x20)
        c = 0x2400 + c;
    else if (c == 0x7f)
        c = 0x2421;
    else if ((c >= 0x80 && c <= 0x9f) || c == 0x061c || c == 0x200e || c == 0x200f ||
             (c >= 0x2028 && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069))
        c = QChar::ReplacementCharacter;
    const char16_t units[2] = {QChar::highSurrogate(c), QChar::lowSurrogate(c)};
    if (QChar::requiresSurrogates(c))
        shown.append(QStringView(units, 2));
    else
        shown.append(QChar(c));
}

} // namespace

QString displayName(const QByteArray& name) {
    QString shown;
    shown.reserve(name.size());
    const bool utf8 = localeIsUtf8();
    std::mbstate_t state{};
    for (qsizetype at = 0; at < name.size();) {
        int length = 0;
        char32_t c = 0;
        if (utf8) {
            c = utf8At(name, at, length);
        } else {
            wchar_t wide = 0;
            const std::size_t used =
                std::mbrtowc(&wide, name.constData() + at, std::size_t(name.size() - at), &state);
            if (used == 0)
                c = 0, length = 1;
            else if (used <= std::size_t(name.size() - at))
                c = char32_t(wide), length = int(used);
            else
                state = {};
        }
        // A byte that is no character in the locale's encoding shows as its
        // Latin-1 character, which is what most old disks' names were written
        // in: two such names stay apart, and the name itself keeps its bytes.
        if (length == 0 || (c == 0 && name[at] != '\0'))
            c = static_cast<unsigned char>(name[at]), length = 1;
        appendShown(shown, c);
        at += length;
    }
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
