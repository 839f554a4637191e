#include "app/file_list.h"

#include "app/directory_listing.h"
#include "convert/convert_document.h"

#include <QScrollBar>
#include <QStringListModel>

namespace orv {

bool isSourceName(const QByteArray& name) {
    return isOrvDocumentName(
        std::string_view(name.constData(), static_cast<std::size_t>(name.size())));
}

FileList::FileList(QWidget* parent) : QListView(parent), model_(new QStringListModel(this)) {
    setModel(model_);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    // Every row is one line of text (displayName sees to it): lets the view
    // skip measuring a large folder row by row.
    setUniformItemSizes(true);
}

bool FileList::setPath(const QByteArray& folder, QString& failure) {
    path_ = folder;
    names_.clear();
    const bool listed = listDirectory(folder, EntryKind::files, names_, failure, isSourceName);
    QStringList shown;
    for (const QByteArray& name : names_)
        shown.append(displayName(name));
    model_->setStringList(shown);
    return listed;
}

bool FileList::refresh(QString& failure) {
    const QByteArray selected = fileName();
    const int scrolled = verticalScrollBar()->value();
    const bool listed = setPath(path_, failure);
    if (const qsizetype row = names_.indexOf(selected); !selected.isEmpty() && row >= 0)
        setCurrentIndex(model_->index(int(row)));
    verticalScrollBar()->setValue(scrolled);
    return listed;
}

QByteArray FileList::fileName() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QByteArray() : names_.value(selected.first().row());
}

void FileList::selectFile(const QByteArray& name) {
    const qsizetype row = names_.indexOf(name);
    if (row < 0)
        return;
    const QModelIndex index = model_->index(int(row));
    setCurrentIndex(index);
    scrollTo(index);
}

} // namespace orv
