#pragma once

// Everything the window asks of the file system, kept apart from the window.
// Paths and names are bytes as the file system holds them: an old disk's
// Latin-1 name is not valid UTF-8 and would not survive a QString.

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

class QFileSystemWatcher;

#include <functional>
#include <system_error>

namespace orv {

enum class EntryKind { directories, files };

// The names of folder's entries of the given kind (symbolic links followed)
// that accept takes, hidden ones left out, sorted without regard to letter
// case. On failure returns false and sets failure to "folder: reason", the
// platform's wording.
bool listDirectory(const QByteArray& folder, EntryKind kind, QByteArrayList& names,
                   QString& failure, const std::function<bool(const QByteArray&)>& accept = {});

// "path: reason" for a failed look at path.
QString describeFailure(const QByteArray& path, const std::error_code& error);

// A name, a path or a message holding them as the window shows it, in the
// lists and in messages alike: decoded in the locale's encoding (UTF-8 under
// "C"), a byte that is no character there as its Latin-1 character, control
// characters as their visible pictures, and nothing that would break the
// line or reorder the text; so every name takes one line and different
// names look different.
QString displayName(const QByteArray& name);

// Where path lies, without symbolic links resolved: absolute and clean.
QByteArray cleanAbsolutePath(const QByteArray& path);

// The folder the program was started in. When it no longer exists, returns
// the home folder (or "/") and says why in failure, naming the lost folder.
QByteArray startFolder(QString& failure);

// Has watcher watch folder, whatever bytes its name holds: a name that does
// not survive a QString is watched through a descriptor of the folder's,
// closed again at once so that a medium can still be ejected. Returns false
// when folder cannot be watched.
bool watchFolder(QFileSystemWatcher& watcher, const QByteArray& folder);

// Whether path can be looked at and, if so, whether it is a folder.
bool lookAt(const QByteArray& path, bool& isFolder, QString& failure);

} // namespace orv
