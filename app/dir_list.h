#pragma once

#include <QByteArrayList>
#include <QListView>

class QStandardItemModel;

namespace orv {

// The directory list: the chain of directories from "/" down to its path,
// then the path's subdirectories one level deeper, each with a folder icon
// and indented by its depth. Opening an entry (double-click or Enter) makes
// it the path. Entries keep their paths as bytes (see FileList for why this
// is not a QFileSystemModel).
class DirList : public QListView {
    Q_OBJECT
public:
    explicit DirList(QWidget* parent = nullptr);

    QByteArray path() const { return path_; }
    // Shows directory, read afresh even when it is the path already, and
    // raises pathChanged. When directory cannot be listed, returns false with
    // the reason in failure and leaves everything as it was.
    bool setPath(const QByteArray& directory, QString& failure);
    // Reads the path again, keeping the highlight and the scroll position;
    // raises nothing. On failure returns false, the list as it was.
    bool refresh(QString& failure);
    // The directories shown, as full paths, top to bottom.
    QByteArrayList entries() const;

signals:
    void pathChanged();
    // Opening an entry failed; the list still shows what it showed.
    void openFailed(const QString& description);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void openEntry(const QModelIndex& index);
    bool readFolder(const QByteArray& target, QString& failure);
    // Makes every row as wide as the widest entry needs, indent included,
    // so that the list scrolls sideways as far as that.
    void fitWidth();
    // Scrolls sideways so that the shown folder's name is in view.
    void showCurrentName();

    QStandardItemModel* model_;
    QByteArray path_;
};

} // namespace orv
