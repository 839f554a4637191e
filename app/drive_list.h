#pragma once

#include <QComboBox>
#include <QHash>
#include <QStringList>

namespace orv {

// The roots of the mounted file systems that hold files, pseudo file systems
// (proc, sysfs, cgroup and the like) left out.
QStringList mountedRoots();

// The drive list: one entry per file system root. It remembers, for each
// root, the directory last shown on it, which is where a pick returns to.
class DriveList : public QComboBox {
public:
    explicit DriveList(QWidget* parent = nullptr);

    void setRoots(const QStringList& roots);
    QStringList roots() const { return roots_; }
    // The chosen root.
    QString drive() const { return currentText(); }
    // The directory a pick of root goes to: the last one shown on it, or root.
    QString directoryOn(const QString& root) const { return lastDirectory_.value(root, root); }
    // Chooses the root that holds directory and remembers directory as the one
    // shown on it. Raises no change.
    void noteDirectory(const QString& directory);

private:
    QString rootOf(const QString& path) const;

    QStringList roots_;
    QHash<QString, QString> lastDirectory_;
};

} // namespace orv
