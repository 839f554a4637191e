#include "app/dir_list.h"

#include "app/directory_listing.h"

#include <QKeyEvent>
#include <QPainter>
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
        indented.rect.setLeft(option.rect.left() + index.data(depthRole).toInt() * indentStep);
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize size = QStyledItemDelegate::sizeHint(option, index);
        return {size.width() + index.data(depthRole).toInt() * indentStep, size.height()};
    }
};

// "/", then each further directory of path: "/a/b" gives "/", "/a", "/a/b".
QStringList chainOf(const QString& path) {
    QStringList chain{QStringLiteral("/")};
    qsizetype slash = 0;
    while ((slash = path.indexOf(u'/', slash + 1)) != -1)
        chain.append(path.left(slash));
    if (path != QLatin1String("/"))
        chain.append(path);
    return chain;
}

QString joined(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

} // namespace

DirList::DirList(QWidget* parent) : QListView(parent), model_(new QStandardItemModel(this)) {
    setModel(model_);
    setItemDelegate(new IndentDelegate(this));
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListView::doubleClicked, this, &DirList::openEntry);
}

bool DirList::setPath(const QString& directory, QString& failure) {
    const QString target = cleanAbsolutePath(directory);
    QStringList subdirectories;
    if (!listDirectory(target, EntryKind::directories, subdirectories, failure))
        return false;

    const QIcon openFolder = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedFolder = style()->standardIcon(QStyle::SP_DirClosedIcon);
    model_->clear();
    const QStringList chain = chainOf(target);
    for (qsizetype depth = 0; depth < chain.size(); ++depth) {
        const QString& full = chain[depth];
        auto* item = new QStandardItem(openFolder, depth == 0 ? full : full.section(u'/', -1));
        item->setData(full, pathRole);
        item->setData(int(depth), depthRole);
        model_->appendRow(item);
    }
    for (const QString& name : subdirectories) {
        auto* item = new QStandardItem(closedFolder, name);
        item->setData(joined(target, name), pathRole);
        item->setData(int(chain.size()), depthRole);
        model_->appendRow(item);
    }
    const QModelIndex current = model_->index(int(chain.size()) - 1, 0);
    setCurrentIndex(current);
    scrollTo(current);

    if (target != path_) {
        path_ = target;
        emit pathChanged();
    }
    return true;
}

QStringList DirList::entries() const {
    QStringList paths;
    for (int row = 0; row < model_->rowCount(); ++row)
        paths.append(model_->index(row, 0).data(pathRole).toString());
    return paths;
}

void DirList::openEntry(const QModelIndex& index) {
    if (!index.isValid())
        return;
    QString failure;
    if (!setPath(index.data(pathRole).toString(), failure))
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
