#pragma once

#include <QWidget>

class QCheckBox;
class QGroupBox;

namespace orv {

class DirList;
class DriveList;
class FileList;
class WindowServices;

// The program's one window: a banner, then a frame with the drive, directory
// and file lists, the format boxes and the Convert button, Help and Exit.
class Form1 : public QWidget {
public:
    explicit Form1(WindowServices& services, QWidget* parent = nullptr);

    // Browses to path's folder with path selected in the file list, as "Open
    // with" and dropping a file do; a folder is simply browsed to. Says why
    // when path cannot be reached, leaving the lists as they were.
    void openFile(const QString& path);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildBanner();
    void buildFrame();
    void orderFocus();

    void Drive1_Change();
    void Dir1_Change();
    void Command1_Click();
    void cmdHelp_Click();
    void cmdExit_Click();

    WindowServices& services_;
    QGroupBox* frame_ = nullptr;
    DriveList* drive1_ = nullptr;
    DirList* dir1_ = nullptr;
    FileList* file1_ = nullptr;
    QCheckBox* optFormatAccent_ = nullptr;
    QCheckBox* optFormatRTF_ = nullptr;
    QCheckBox* optFormatText_ = nullptr;
    QCheckBox* chkOpenAfter_ = nullptr;
};

} // namespace orv
