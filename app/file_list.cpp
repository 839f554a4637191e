#include "app/file_list.h"

#include "app/directory_listing.h"

#include <QStringListModel>

namespace orv {

bool isSourceName(const QString& name) {
    return name.endsWith(QLatin1String(".orv"), Qt::CaseInsensitive);
}

FileList::FileList(QWidget* parent) : QListView(parent), model_(new QStringListModel(this)) {
    setModel(model_);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    // Every row is one line of text: lets the view skip measuring a large folder row by row.
    setUniformItemSizes(true);
}

bool FileList::setPath(const QString& folder, QString& failure) {
    path_ = folder;
    QStringList names;
    const bool listed = listDirectory(folder, EntryKind::files, names, failure, isSourceName);
    model_->setStringList(names);
    return listed;
}

QString FileList::fileName() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : selected.first().data().toString();
}

void FileList::selectFile(const QString& name) {
    const qsizetype row = model_->stringList().indexOf(name);
    if (row < 0)
        return;
    const QModelIndex index = model_->index(int(row));
    setCurrentIndex(index);
    scrollTo(index);
}

QStringList FileList::fileNames() const {
    return model_->stringList();
}

} // namespace orv
