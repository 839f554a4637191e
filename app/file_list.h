#pragma once

#include <QListView>
#include <QString>
#include <QStringList>

class QStringListModel;

namespace orv {

// The file list: the files of its path whose names match "*.ORV" in any
// letter case, sorted, at most one of them selected.
class FileList : public QListView {
public:
    explicit FileList(QWidget* parent = nullptr);

    QString path() const { return path_; }
    // Rebuilds the list for folder with nothing selected. When folder cannot
    // be listed the list is left empty and failure says why.
    bool setPath(const QString& folder, QString& failure);
    // The selected file's name; empty while nothing is selected.
    QString fileName() const;
    // Selects name if it is listed.
    void selectFile(const QString& name);
    QStringList fileNames() const;

private:
    QStringListModel* model_;
    QString path_;
};

// Whether name matches "*.ORV" without regard to letter case.
bool isSourceName(const QString& name);

} // namespace orv
