#include "app/drive_list.h"

#include "app/directory_listing.h"

#include <QFile>
#include <QPainter>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>
#include <QStyleOption>

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
bool holds(const QByteArray& root, const QByteArray& path) {
    if (root == "/")
        return path.startsWith('/');
    return path == root || path.startsWith(root + '/');
}

} // namespace

bool isUserVolume(const QByteArray& root, const QByteArray& type, bool readOnly) {
    if (root == "/")
        return true;
    if (isPseudoFileSystem(type) || (type == "squashfs" && readOnly))
        return false;
    if (holds("/run/media", root))
        return true;
    for (const char* system : {"/boot", "/dev", "/proc", "/run", "/snap", "/sys", "/var/snap",
                               "/var/lib/docker", "/var/lib/snapd"})
        if (holds(system, root))
            return false;
    return true;
}

QByteArrayList mountedRoots() {
    QByteArrayList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !isUserVolume(QFile::encodeName(volume.rootPath()),
                                               volume.fileSystemType(), volume.isReadOnly()))
            continue;
        // QStorageInfo hands mount points over as text; one whose name is not
        // UTF-8 would not survive this, but mount points are named by the system.
        const QByteArray root = QFile::encodeName(volume.rootPath());
        if (!roots.contains(root))
            roots.append(root);
    }
    if (!roots.contains("/"))
        roots.append("/");
    std::sort(roots.begin(), roots.end());
    return roots;
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    refreshRoots();
}

void DriveList::setRootSource(RootSource source) {
    source_ = std::move(source);
    refreshRoots();
}

void DriveList::refreshRoots() {
    const QByteArray chosen = drive();
    const QSignalBlocker quiet(this);
    roots_ = source_();
    clear();
    for (const QByteArray& root : roots_)
        addItem(displayName(root));
    setCurrentIndex(std::max<qsizetype>(0, roots_.indexOf(chosen)));
}

void DriveList::showPopup() {
    refreshRoots();
    QComboBox::showPopup();
}

QByteArray DriveList::rootOf(const QByteArray& path) const {
    QByteArray best;
    for (const QByteArray& root : roots_)
        if (holds(root, path) && root.size() > best.size())
            best = root;
    return best;
}

void DriveList::noteDirectory(const QByteArray& directory) {
    const QByteArray root = rootOf(directory);
    if (root.isEmpty())
        return;
    lastDirectory_.insert(root, directory);
    const QSignalBlocker quiet(this);
    setCurrentIndex(int(roots_.indexOf(root)));
}

QSize DriveList::sizeHint() const {
    const int lineHeight = fontMetrics().height() + 4;
    return {fontMetrics().averageCharWidth() * 8 + lineHeight, lineHeight};
}

void DriveList::paintEvent(QPaintEvent*) {
    // The style's combo box has a gradient and rounded corners; this one is a
    // plain box on the base colour, with the style's arrow at the end the
    // text runs towards and the style's focus indicator around the text.
    QPainter painter(this);
    const QRect box = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(box);

    QStyleOptionComboBox option;
    initStyleOption(&option);
    const int arrowWidth = height();
    const QRect arrowArea = QStyle::visualRect(
        layoutDirection(), rect(), QRect(width() - arrowWidth, 0, arrowWidth, height()));
    QStyleOption arrow;
    arrow.initFrom(this);
    arrow.rect = arrowArea.adjusted(4, 4, -4, -4);
    arrow.palette.setColor(QPalette::ButtonText, palette().color(QPalette::Text));
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &painter, this);

    const QRect textArea =
        QStyle::visualRect(layoutDirection(), rect(), rect().adjusted(4, 0, -arrowWidth, 0));
    const QString text =
        fontMetrics().elidedText(option.currentText, Qt::ElideMiddle, textArea.width());
    style()->drawItemText(&painter, textArea,
                          int(QStyle::visualAlignment(layoutDirection(), Qt::AlignLeft)) |
                              Qt::AlignVCenter,
                          palette(), isEnabled(), text, QPalette::Text);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        // Some styles draw it only after a key moved the focus, as they do
        // on their own controls.
        focus.rect = rect().adjusted(2, 2, -2, -2);
        focus.backgroundColor = palette().color(QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

} // namespace orv
