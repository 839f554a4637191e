#include "app/drive_list.h"

#include <QSignalBlocker>
#include <QStorageInfo>

#include <algorithm>

namespace orv {

namespace {

bool isPseudoFileSystem(const QByteArray& type) {
    static const QByteArrayList pseudo = {
        "autofs",    "binfmt_misc", "bpf",      "cgroup",          "cgroup2",    "configfs",
        "debugfs",   "devpts",      "devtmpfs", "efivarfs",        "fusectl",    "hugetlbfs",
        "mqueue",    "nsfs",        "proc",     "pstore",          "rpc_pipefs", "securityfs",
        "selinuxfs", "sysfs",       "tracefs",  "fuse.gvfsd-fuse", "fuse.portal"};
    return pseudo.contains(type);
}

// Whether path is root or lies below it.
bool holds(const QString& root, const QString& path) {
    if (root == QLatin1String("/"))
        return path.startsWith(u'/');
    return path == root || path.startsWith(root + u'/');
}

} // namespace

QStringList mountedRoots() {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || isPseudoFileSystem(volume.fileSystemType()))
            continue;
        if (!roots.contains(volume.rootPath()))
            roots.append(volume.rootPath());
    }
    if (!roots.contains(QLatin1String("/")))
        roots.append(QStringLiteral("/"));
    std::sort(roots.begin(), roots.end());
    return roots;
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {}

void DriveList::setRoots(const QStringList& roots) {
    const QSignalBlocker quiet(this);
    roots_ = roots;
    clear();
    addItems(roots);
}

QString DriveList::rootOf(const QString& path) const {
    QString best;
    for (const QString& root : roots_)
        if (holds(root, path) && root.size() > best.size())
            best = root;
    return best;
}

void DriveList::noteDirectory(const QString& directory) {
    const QString root = rootOf(directory);
    if (root.isEmpty())
        return;
    lastDirectory_.insert(root, directory);
    const QSignalBlocker quiet(this);
    setCurrentIndex(roots_.indexOf(root));
}

} // namespace orv
