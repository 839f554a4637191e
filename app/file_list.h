#pragma once

#include <QByteArrayList>
#include <QListView>

class QStringListModel;

namespace orv {

// The file list: the files of its path whose names match "*.ORV" in any
// letter case, sorted, at most one of them selected. It keeps each name's
// bytes, which is why it is not a QFileSystemModel: that one holds names as
// Unicode text, and a Latin-1 name read back from it no longer opens.
class FileList : public QListView {
public:
    explicit FileList(QWidget* parent = nullptr);

    QByteArray path() const { return path_; }
    // Rebuilds the list for folder with nothing selected. When folder cannot
    // be listed the list is left empty and failure says why.
    bool setPath(const QByteArray& folder, QString& failure);
    // The selected file's name; empty while nothing is selected.
    QByteArray fileName() const;
    // Reads the path again, keeping the selected file (while it is there) and
    // the scroll position. On failure the list is left empty.
    bool refresh(QString& failure);
    // Selects name if it is listed.
    void selectFile(const QByteArray& name);
    QByteArrayList fileNames() const { return names_; }

private:
    QStringListModel* model_;
    QByteArray path_;
    QByteArrayList names_;
};

// Whether name matches "*.ORV" without regard to letter case.
bool isSourceName(const QByteArray& name);

} // namespace orv
