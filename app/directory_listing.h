#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <system_error>

namespace orv {

enum class EntryKind { directories, files };

// The names of folder's entries of the given kind (symbolic links followed)
// that accept takes, hidden ones left out, sorted without regard to letter
// case. On failure returns false and sets failure to "folder: reason", the
// platform's wording.
bool listDirectory(const QString& folder, EntryKind kind, QStringList& names, QString& failure,
                   const std::function<bool(const QString&)>& accept = {});

// "path: reason" for a failed look at path.
QString describeFailure(const QString& path, const std::error_code& error);

// Where path lies, without symbolic links resolved: absolute and clean.
QString cleanAbsolutePath(const QString& path);

} // namespace orv
