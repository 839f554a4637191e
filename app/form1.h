#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QFileSystemWatcher;
class QGroupBox;
class QLabel;
class QProgressBar;
class QTimer;

namespace orv {

struct ConversionJob;
class ConversionRunner;
class DirList;
class DriveList;
class FileList;
class WindowServices;

// The program's one window: a banner, then a frame with the drive, directory
// and file lists, the format boxes and the Convert button, Help and Exit.
class Form1 : public QWidget {
public:
    explicit Form1(WindowServices& services, QWidget* parent = nullptr);
    ~Form1() override;

    // Browses to path's folder with path selected in the file list, as "Open
    // with" and dropping a file do; a folder is simply browsed to. Says why
    // when path cannot be reached or is no ORV document, leaving the lists as
    // they were.
    void openFile(const QByteArray& path);
    // openFile(path), once the window is on screen, so that a message appears
    // over it.
    void openFileWhenShown(const QByteArray& path);

    bool converting() const;
    // The conversion that Convert would run now, as the list and boxes say.
    ConversionJob chosenJob() const;
    // How long a run goes before its progress shows, in milliseconds.
    void setProgressDelay(int milliseconds) { progressDelay_ = milliseconds; }

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildBanner();
    void buildFrame();
    void orderFocus();
    void nameForAssistiveTechnology();
    // How much larger than drawn the desktop's font makes the window.
    double scale() const;
    // Places every control, scaled to the desktop's font and mirrored right
    // to left.
    void layOut();
    void fitControlsToContent();
    // Word-wrapped labels take the height their text needs.
    void fitWrappedText();
    // Makes control extra pixels higher, moving down what lies below it.
    void growDown(QWidget* control, int extra);
    void applyColours();
    // The commonest colour the style draws under control, its children aside.
    QColor groundUnder(QWidget* control) const;
    // Shows text over the window, now or as soon as the window is on screen.
    void tell(const QString& text);
    void showPending();

    void beginRun();
    void showProgress();
    void endBusy();
    void endRun();

    // Reads the drives, the folder and its files again, keeping what is
    // chosen; a folder that has gone gives way to the nearest one above it.
    void refreshLists();
    void watchShownFolder();

    void Drive1_Change();
    void Dir1_Change();
    void Command1_Click();
    void cmdHelp_Click();
    void cmdExit_Click();

    WindowServices& services_;
    ConversionRunner* runner_ = nullptr;
    QGroupBox* frame_ = nullptr;
    DriveList* drive1_ = nullptr;
    DirList* dir1_ = nullptr;
    FileList* file1_ = nullptr;
    QCheckBox* optFormatAccent_ = nullptr;
    QCheckBox* optFormatRTF_ = nullptr;
    QCheckBox* optFormatText_ = nullptr;
    QCheckBox* optFormatUnicode_ = nullptr;
    QCheckBox* chkOpenAfter_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* lblExplain_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTimer* progressTick_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* settle_ = nullptr;
    QElapsedTimer runClock_;
    int progressDelay_ = 1000;
    bool busy_ = false;
    QPointer<QWidget> focused_;
    bool onScreen_ = false;
    QStringList pendingMessages_;
    QByteArray pendingFile_;
};

} // namespace orv
