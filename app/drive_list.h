#pragma once

#include <QByteArrayList>
#include <QComboBox>
#include <QHash>

#include <functional>

namespace orv {

// The roots of the mounted file systems that hold the user's files, "/"
// always among them; what file managers leave out is left out (see
// isUserVolume).
QByteArrayList mountedRoots();

// Whether a file system mounted at root, of type (as /proc/mounts names it),
// belongs in the drive list: not a pseudo file system, not a read-only
// squashfs (snap packages, live images), and not the system's own places
// (/boot, /dev, /proc, /run, /snap, /sys; removable media under /run/media
// stay).
bool isUserVolume(const QByteArray& root, const QByteArray& type, bool readOnly);

// The drive list: one entry per file system root, read again each time the
// list opens, so that a drive mounted meanwhile appears. It remembers, for
// each root, the directory last shown on it, which is where a pick returns to.
// Drawn flat, like the directory and file lists.
class DriveList : public QComboBox {
public:
    using RootSource = std::function<QByteArrayList()>;
    explicit DriveList(QWidget* parent = nullptr);

    // Where the roots come from; mountedRoots unless a test says otherwise.
    void setRootSource(RootSource source);
    // Reads the roots again, keeping the chosen one when it is still there.
    void refreshRoots();
    QByteArrayList roots() const { return roots_; }
    // The chosen root.
    QByteArray drive() const { return roots_.value(currentIndex()); }
    // The directory a pick of root goes to: the last one shown on it, or root.
    QByteArray directoryOn(const QByteArray& root) const {
        return lastDirectory_.value(root, root);
    }
    // Forgets the directory remembered for root, when it can no longer be shown.
    void forgetDirectory(const QByteArray& root) { lastDirectory_.remove(root); }
    // Chooses the root that holds directory and remembers directory as the one
    // shown on it. Raises no change.
    void noteDirectory(const QByteArray& directory);

    void showPopup() override;
    // What the flat look needs: a line of text, its border and the arrow.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QByteArray rootOf(const QByteArray& path) const;

    RootSource source_ = mountedRoots;
    QByteArrayList roots_;
    QHash<QByteArray, QByteArray> lastDirectory_;
};

} // namespace orv
