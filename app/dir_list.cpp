#include "app/dir_list.h"

#include "app/directory_listing.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyledItemDelegate>

namespace orv {

namespace {

constexpr int pathRole = Qt::UserRole;
constexpr int depthRole = Qt::UserRole + 1;
constexpr int indentStep = 8;

// Draws each entry moved right by its depth, like a tree without branches.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented(option);
        const int indent = index.data(depthRole).toInt() * indentStep;
        if (option.direction == Qt::RightToLeft)
            indented.rect.setRight(option.rect.right() - indent);
        else
            indented.rect.setLeft(option.rect.left() + indent);
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize size = QStyledItemDelegate::sizeHint(option, index);
        return {size.width() + index.data(depthRole).toInt() * indentStep, size.height()};
    }
};

// "/", then each further directory of path: "/a/b" gives "/", "/a", "/a/b".
QByteArrayList chainOf(const QByteArray& path) {
    QByteArrayList chain{"/"};
    qsizetype slash = 0;
    while ((slash = path.indexOf('/', slash + 1)) != -1)
        chain.append(path.left(slash));
    if (path != "/")
        chain.append(path);
    return chain;
}

QByteArray joined(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

} // namespace

DirList::DirList(QWidget* parent) : QListView(parent), model_(new QStandardItemModel(this)) {
    setModel(model_);
    setItemDelegate(new IndentDelegate(this));
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    // Every row is one line of text: displayName sees to it.
    setUniformItemSizes(true);
    setHorizontalScrollMode(ScrollPerPixel);
    connect(this, &QListView::doubleClicked, this, &DirList::openEntry);
}

bool DirList::setPath(const QByteArray& directory, QString& failure) {
    const QByteArray target = cleanAbsolutePath(directory);
    if (!readFolder(target, failure))
        return false;
    path_ = target;
    emit pathChanged();
    return true;
}

bool DirList::refresh(QString& failure) {
    const int scrolled = verticalScrollBar()->value();
    if (!readFolder(path_, failure))
        return false;
    verticalScrollBar()->setValue(scrolled);
    return true;
}

bool DirList::readFolder(const QByteArray& target, QString& failure) {
    QByteArrayList subdirectories;
    if (!listDirectory(target, EntryKind::directories, subdirectories, failure))
        return false;

    const QIcon openFolder = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedFolder = style()->standardIcon(QStyle::SP_DirClosedIcon);
    model_->clear();
    const QByteArrayList chain = chainOf(target);
    for (qsizetype depth = 0; depth < chain.size(); ++depth) {
        const QByteArray& full = chain[depth];
        const QByteArray name = depth == 0 ? full : full.mid(full.lastIndexOf('/') + 1);
        auto* item = new QStandardItem(openFolder, displayName(name));
        item->setData(full, pathRole);
        item->setData(int(depth), depthRole);
        model_->appendRow(item);
    }
    for (const QByteArray& name : subdirectories) {
        auto* item = new QStandardItem(closedFolder, displayName(name));
        item->setData(joined(target, name), pathRole);
        item->setData(int(chain.size()), depthRole);
        model_->appendRow(item);
    }
    const QModelIndex current = model_->index(int(chain.size()) - 1, 0);
    setCurrentIndex(current);
    fitWidth();
    scrollTo(current);
    showCurrentName();
    return true;
}

void DirList::fitWidth() {
    if (model_->rowCount() == 0)
        return;
    QStandardItem* first = model_->item(0);
    first->setData(QVariant(), Qt::SizeHintRole);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    // The rows differ only in their indent and text: the rest is measured once.
    const QFontMetrics metrics(font());
    const int rest = itemDelegate()->sizeHint(option, first->index()).width() -
                     metrics.horizontalAdvance(first->text());
    int widest = 0;
    for (int row = 0; row < model_->rowCount(); ++row) {
        const QStandardItem* item = model_->item(row);
        widest = std::max(widest, item->data(depthRole).toInt() * indentStep + rest +
                                      metrics.horizontalAdvance(item->text()));
    }
    // With uniform item sizes the view takes every row's size from the first.
    first->setData(QSize(widest, itemDelegate()->sizeHint(option, first->index()).height()),
                   Qt::SizeHintRole);
}

void DirList::showCurrentName() {
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int start = current.data(depthRole).toInt() * indentStep;
    const int end = start + QStyledItemDelegate().sizeHint(option, current).width();
    QScrollBar* bar = horizontalScrollBar();
    const int shown = viewport()->width();
    // Counted from the side the rows start at.
    int offset = isRightToLeft() ? bar->maximum() - bar->value() : bar->value();
    if (end - start > shown || start < offset)
        offset = start;
    else if (end > offset + shown)
        offset = end - shown;
    bar->setValue(isRightToLeft() ? bar->maximum() - offset : offset);
}

void DirList::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    // The sideways range depends on the width just taken.
    updateGeometries();
    showCurrentName();
}

void DirList::changeEvent(QEvent* event) {
    QListView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        fitWidth();
        showCurrentName();
    }
}

QByteArrayList DirList::entries() const {
    QByteArrayList paths;
    for (int row = 0; row < model_->rowCount(); ++row)
        paths.append(model_->index(row, 0).data(pathRole).toByteArray());
    return paths;
}

void DirList::openEntry(const QModelIndex& index) {
    if (!index.isValid())
        return;
    QString failure;
    if (setPath(index.data(pathRole).toByteArray(), failure))
        return;
    // The highlight goes back to the folder still shown before the user is told.
    const QModelIndex shown = model_->index(int(entries().indexOf(path_)), 0);
    setCurrentIndex(shown);
    scrollTo(shown);
    emit openFailed(failure);
}

void DirList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openEntry(currentIndex());
        return;
    }
    QListView::keyPressEvent(event);
}

} // namespace orv
