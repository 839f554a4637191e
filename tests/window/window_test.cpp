// The window, offscreen, with a recording desktop in place of message boxes
// and the opener. In the tables "~" is the folder the window starts in.

#include "app/app_icon.h"
#include "app/click_label.h"
#include "app/colours.h"
#include "app/dir_list.h"
#include "app/directory_listing.h"
#include "app/drive_list.h"
#include "app/file_list.h"
#include "app/form1.h"
#include "app/window_services.h"
#include "convert/convert_document.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QtMath>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <unistd.h>

using namespace orv;
namespace fs = std::filesystem;

// clang-format off
struct Pick { const char *tag, *removed, *picked, *shown, *message, *comesBack; };
// boxes: Accent, RTF, Text and Open after, each '-' clear, '?' grayed or 'X' ticked.
struct Run { const char *tag, *selected, *boxes, *message, *written, *opened; };
// toggles: the box the key ticks, if any.
struct Key { const char* tag; QKeyCombination key; bool converts; const char* toggles; };
// A control's caption, the letter of its access key, and its place in twips.
struct Caption { const char *tag, *text; char key; };
struct Place { const char* tag; int left, top, width, height; };
// boxes: Accent, RTF, Text, Unicode text and Open after, as in Run.
struct Job { const char *tag, *boxes; bool accent, rtf, text, unicodeText, openAfter; };
// how: "click" or "enter" in Dir1, "open" as "Open with" does, "drop" onto the window.
struct Browse { const char *tag, *how, *path, *shown, *sources, *selected, *message; };
// Started with FILE given, or in a folder that was removed (with HOME at ~/empty).
struct Start { const char *tag, *file; bool folderRemoved; const char *shown, *selected, *message; };
// switched: the scheme changes under a running window, else it is there from the start.
struct Scheme { const char* tag; bool switched; QColor window, text, base, button; };
struct Access { const char *tag, *name; QAccessible::Role role; };
// The intro in family (empty: as named), letters spaced to spacing percent,
// its text repeated copies times; moves: whether what lies below must move.
struct Intro { const char *tag, *family; int spacing, copies; bool moves; };
// A mount as the mount table lists it, and whether the drive list shows it.
struct Mount { const char *tag, *root, *type; bool readOnly, listed; };
// A file name's bytes and how the lists show them.
struct Shown { const char* tag; QByteArray name; QString shown; };
// clang-format on

template <typename Row> void table(std::initializer_list<Row> rows) {
    QTest::addColumn<Row>("row");
    for (const Row& row : rows)
        QTest::newRow(row.tag) << row;
}

// One column of values, each row named.
template <typename T>
void column(const char* name, std::initializer_list<std::pair<const char*, T>> rows) {
    QTest::addColumn<T>(name);
    for (const auto& [tag, value] : rows)
        QTest::newRow(tag) << value;
}

// A file with exactly these name bytes, which QFile (taking a QString) cannot promise.
bool write(const QByteArray& path, const QByteArray& content = {}) {
    std::FILE* file = std::fopen(path.constData(), "wb");
    const bool written =
        file && std::fwrite(content.data(), 1, content.size(), file) == std::size_t(content.size());
    return file && std::fclose(file) == 0 && written;
}

QByteArray contentOf(const char* path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "(unreadable)";
}

// Also the window's desktop: it records what would be shown or opened.
class WindowTest : public QObject, public WindowServices {
    Q_OBJECT

    QTemporaryDir scratch_;
    const QByteArray top_ = QFile::encodeName(scratch_.path()) + "/top";
    std::unique_ptr<Form1> form_;
    QStringList messages_, pages_;
    QByteArrayList documents_;
    QFont desktopFont_;
    bool tookInput_ = false; // whether the controls took input while the last message showed

    void openDocument(const std::string& path) override {
        documents_.append(QByteArray::fromStdString(path));
    }
    void showMessage(const QString& text) override {
        messages_ << text, tookInput_ = find("Frame")->isEnabled();
    }
    void openPage(const QString& path) override { pages_.append(path); }

    static QByteArrayList words(const QByteArray& text) {
        QByteArrayList found = text.split(' ');
        found.removeAll(QByteArray());
        return found;
    }
    // "~" is the folder the window starts in, "^" the one above it.
    QByteArray at(const char* text) const {
        return QByteArray(text).replace('~', top_).replace('^', top_.left(top_.lastIndexOf('/')));
    }
    template <typename W = QWidget> W* find(const char* n) const { return form_->findChild<W*>(n); }
    DirList* dir1() const { return find<DirList>("Dir1"); }
    FileList* file1() const { return find<FileList>("File1"); }
    DriveList* drive1() const { return find<DriveList>("Drive1"); }
    // The files in the working directory, names as bytes, hidden ones too.
    static QByteArrayList filesHere() {
        QByteArrayList names;
        for (const fs::directory_entry& entry : fs::directory_iterator("."))
            if (entry.is_regular_file())
                names.append(QByteArray::fromStdString(entry.path().filename().native()));
        std::sort(names.begin(), names.end());
        return names;
    }

    // The columns of area in image that hold ink: a pixel of none of the grounds.
    static QList<int> inkColumns(const QImage& image, const QRect& area,
                                 const QList<QRgb>& grounds) {
        QList<int> columns;
        for (int x = area.left(); x <= area.right(); ++x)
            for (int y = area.top(); y <= area.bottom(); ++y)
                if (!grounds.contains(image.pixel(x, y))) {
                    columns.append(x);
                    break;
                }
        return columns;
    }

    void startForm() {
        messages_ = pages_ = {};
        documents_ = {};
        form_ = std::make_unique<Form1>(*this);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    // Clicks name in File1, as the user picks a source.
    void select(const QByteArray& name) {
        const auto i = file1()->model()->index(int(file1()->fileNames().indexOf(name)), 0);
        QTest::mouseClick(file1()->viewport(), Qt::LeftButton, {}, file1()->visualRect(i).center());
    }
    // Opens path's Dir1 entry with Enter, or with a double-click as the screen makes it.
    void open(const QByteArray& path, bool byEnter = false) {
        const auto i = dir1()->model()->index(int(dir1()->entries().indexOf(path)), 0);
        dir1()->setCurrentIndex(i);
        if (byEnter)
            return QTest::keyClick(dir1(), Qt::Key_Return);
        QTest::mouseClick(dir1()->viewport(), Qt::LeftButton, {}, dir1()->visualRect(i).center());
        QTest::mouseDClick(dir1()->viewport(), Qt::LeftButton, {}, dir1()->visualRect(i).center());
    }
    void pickDrive(const char* root) {
        const int index = int(drive1()->roots().indexOf(at(root)));
        drive1()->setCurrentIndex(index);
        Q_EMIT drive1()->activated(index);
    }
    void convert(const char* boxes) {
        const char* names[] = {"optFormatAccent", "optFormatRTF", "optFormatText", "chkOpenAfter"};
        for (int i = 0; i < 4; ++i)
            find<QCheckBox>(names[i])->setCheckState(
                Qt::CheckState(QByteArray("-?X").indexOf(boxes[i])));
        QTest::mouseClick(find("Command1"), Qt::LeftButton);
    }
    void waitForTheRun() { QTRY_VERIFY_WITH_TIMEOUT(find("Frame")->isEnabled(), 60000); }
    void verifyShowing(const QByteArray& folder, const QByteArrayList& sources,
                       const char* message) {
        QCOMPARE(dir1()->path(), folder);
        QCOMPARE(file1()->path(), folder);
        QCOMPARE(file1()->fileNames(), sources);
        QCOMPARE(messages_, *message ? QStringList{QString(at(message))} : QStringList());
    }

private Q_SLOTS:
    void init() {
        QVERIFY(QDir::setCurrent(scratch_.path()));
        fs::remove_all(top_.constData());
        for (const char* folder :
             {"sub", "empty", "folder.ORV", "drives/A/deep", "drives/B", "d\xe9p\xf4t"})
            fs::create_directories((top_ + '/' + folder).constData());
        for (const char* file :
             {"apple.orv", "Mixed.Orv", "other.txt", ".hidden.ORV", "old.ORV.txt", "sub/inner.ORV",
              "sub/read.txt", "d\xe9p\xf4t/vieux.ORV"})
            QVERIFY(write(top_ + '/' + file));
        // "HDR", byte 3, then text: enough for every output; the Latin-1 name is café.
        for (const char* source : {"LETTER.ORV", "caf\xe9.ORV"})
            QVERIFY(write(top_ + '/' + source, "HDR\003abcw\377\374xy\376"));
        QVERIFY(QDir::setCurrent(QFile::decodeName(top_)));
        startForm();
    }
    void cleanupTestCase() {
        // QTemporaryDir would miss the Latin-1 names, which QDir cannot spell.
        fs::remove_all(top_.constData());
    }
    void initTestCase() { desktopFont_ = QApplication::font(); }
    void cleanup() {
        form_.reset();
        QApplication::setFont(desktopFont_);
        QApplication::setPalette(QApplication::style()->standardPalette());
    }

    void startsInTheWorkingDirectoryWithTabsInOrder() {
        verifyShowing(top_, words("apple.orv caf\xe9.ORV LETTER.ORV Mixed.Orv"), "");
        QCOMPARE(file1()->fileName(), QByteArray());
        const QByteArrayList entries = dir1()->entries();
        QCOMPARE(entries.first(), "/");
        QCOMPARE(entries.mid(entries.indexOf(top_)),
                 words(at("~ ~/drives ~/d\xe9p\xf4t ~/empty ~/folder.ORV ~/sub")));
        QStringList order;
        for (int step = 0; step < 10; ++step) {
            order.append(QApplication::focusWidget()->objectName());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order, QString("chkOpenAfter optFormatUnicode optFormatText optFormatRTF "
                                "optFormatAccent Drive1 Dir1 File1 Command1 chkOpenAfter")
                            .split(u' '));
        QVERIFY(mountedRoots().contains("/") && !mountedRoots().contains("/proc"));
    }

    void starting_data() {
        table<Start>({{"FILE selected", "~/sub/inner.ORV", false, "~/sub", "inner.ORV", ""},
                      {"FILE missing, told over the window", "~/gone.ORV", false, "~", "",
                       "~/gone.ORV: No such file or directory"},
                      {"FILE not a source", "~/other.txt", false, "~", "",
                       "~/other.txt: Not an ORV document (*.ORV)"},
                      {"in a removed folder", "", true, "~/empty", "",
                       "~/gone: No such file or directory"}});
    }
    void starting() {
        QFETCH(Start, row);
        form_.reset();
        const QByteArray home = qgetenv("HOME");
        if (row.folderRemoved) {
            QVERIFY(QDir().mkdir("gone") && QDir::setCurrent("gone") && QDir("..").rmdir("gone"));
            qputenv("PWD", at("~/gone"));
            qputenv("HOME", at("~/empty"));
        }
        messages_ = {};
        form_ = std::make_unique<Form1>(*this);
        qputenv("HOME", home);
        if (*row.file)
            form_->openFileWhenShown(at(row.file));
        QCOMPARE(messages_, QStringList()); // nothing before the window is there to be over
        form_->show();
        QTRY_COMPARE(messages_.size(), *row.message ? 1 : 0);
        QTRY_COMPARE(dir1()->path(), at(row.shown));
        QCOMPARE(file1()->path(), at(row.shown));
        QCOMPARE(file1()->fileName(), QByteArray(row.selected));
        QCOMPARE(messages_, *row.message ? QStringList{QString(at(row.message))} : QStringList());
    }

    void drivePick_data() {
        table<Pick>({{"back to the last directory", "", "~/drives/A", "~/drives/A/deep", "", ""},
                     {"last directory gone: the root", "~/drives/A/deep", "~/drives/A",
                      "~/drives/A", "", ""},
                     {"file system gone", "", "~/drives/C", "~/drives/B",
                      "~/drives/C: No such file or directory", ""},
                     {"file system comes back", "", "~/drives/C", "~/drives/C",
                      "~/drives/C: No such file or directory", "~/drives/C"}});
    }
    void drivePick() {
        QFETCH(Pick, row);
        drive1()->setRootSource([this] { return words(at("~/drives/A ~/drives/B ~/drives/C")); });
        form_->openFile(at("~/drives/A/deep"));
        pickDrive("~/drives/B");
        QVERIFY(!*row.removed || fs::remove_all(at(row.removed).constData()));

        pickDrive(row.picked);
        if (*row.comesBack) {
            QVERIFY(fs::create_directory(at(row.comesBack).constData()));
            pickDrive(row.picked);
        }

        verifyShowing(at(row.shown), {}, row.message);
        QCOMPARE(drive1()->directoryOn(drive1()->drive()), at(row.shown));
    }

    void driveListLeavesOutTheSystemsMounts_data() {
        table<Mount>(
            {{"the root", "/", "ext4", false, true},
             {"a root in a container", "/", "overlay", false, true},
             {"home partition", "/home", "ext4", false, true},
             {"USB stick, udisks", "/media/ann/STICK", "vfat", false, true},
             {"USB stick, /run/media", "/run/media/ann/STICK", "exfat", false, true},
             {"CD-ROM", "/media/cdrom0", "iso9660", true, true},
             {"squashfs image mounted by hand", "/mnt/image", "squashfs", false, true},
             {"network share", "/mnt/share", "nfs4", false, true},
             {"snap package", "/snap/core22/1380", "squashfs", true, false},
             {"read-only squashfs elsewhere", "/var/lib/snapd/snaps/x", "squashfs", true, false},
             {"user runtime folder", "/run/user/1000", "tmpfs", false, false},
             {"/run itself", "/run", "tmpfs", false, false},
             {"gvfs", "/run/user/1000/gvfs", "fuse.gvfsd-fuse", false, false},
             {"EFI partition", "/boot/efi", "vfat", false, false},
             {"boot partition", "/boot", "ext4", false, false},
             {"proc", "/proc", "proc", false, false},
             {"cgroup", "/sys/fs/cgroup", "cgroup2", false, false},
             {"shared memory", "/dev/shm", "tmpfs", false, false},
             {"binfmt", "/proc/sys/fs/binfmt_misc", "binfmt_misc", false, false}});
    }
    void driveListLeavesOutTheSystemsMounts() {
        QFETCH(Mount, row);
        QCOMPARE(isUserVolume(row.root, row.type, row.readOnly), row.listed);
    }

    void driveListReadsTheMountsAgainWhenItOpens() {
        auto roots = std::make_shared<QByteArrayList>(words(at("/ ~/drives/A")));
        drive1()->setRootSource([roots] { return *roots; });
        pickDrive("~/drives/A");
        roots->append(at("~/drives/B"));
        drive1()->showPopup();
        drive1()->hidePopup();
        QCOMPARE(drive1()->roots(), *roots);
        QCOMPARE(drive1()->drive(), at("~/drives/A"));
    }

    void convertsWhatTheBoxesSay_data() {
        const char* done = "Successfully converted!";
        table<Run>(
            {{"nothing selected", "", "X---", "~/: Is a directory", "", ""},
             {"accent and text", "LETTER.ORV", "X-X-", done, "LETTER.ORV.acc LETTER.ORV.txt", ""},
             {"grayed does not count", "LETTER.ORV", "-?X-", done, "LETTER.ORV.txt", ""},
             {"open after, in order", "LETTER.ORV", "XX-X", done, "LETTER.ORV.acc LETTER.ORV.rtf",
              "~/LETTER.ORV.acc ~/LETTER.ORV.rtf"},
             {"Latin-1 name", "caf\xe9.ORV", "-XXX", done, "caf\xe9.ORV.rtf caf\xe9.ORV.txt",
              "~/caf\xe9.ORV.rtf ~/caf\xe9.ORV.txt"}});
    }
    void convertsWhatTheBoxesSay() {
        QFETCH(Run, row);
        if (*row.selected)
            select(row.selected);
        QByteArrayList expected = filesHere() + words(row.written);

        convert(row.boxes);
        QVERIFY(!find("Frame")->isEnabled());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        waitForTheRun();

        QCOMPARE(messages_, QStringList{QString(at(row.message))});
        QVERIFY2(!tookInput_, "the controls took input while the run's message showed");
        std::sort(expected.begin(), expected.end());
        QCOMPARE(filesHere(), expected);
        QCOMPARE(documents_, words(at(row.opened)));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void longRunShowsProgressAndClosingCancelsIt_data() {
        column<bool>("close", {{"left to finish", false}, {"window closed", true}});
    }
    void longRunShowsProgressAndClosingCancelsIt() {
        QFETCH(bool, close);
        select("LETTER.ORV");
        convert("XXX-");
        waitForTheRun();
        QByteArrayList earlier;
        for (const char* output : {"LETTER.ORV.acc", "LETTER.ORV.rtf", "LETTER.ORV.txt"})
            earlier.append(contentOf(output));
        const QByteArrayList files = filesHere();
        // Large enough that the run outlasts the progress bar's first tick.
        // Builds with tiny blocks make a system call of every few hundred
        // bytes, so there a few MiB last as long.
        const int size = ORV_IO_BLOCK_SIZE < 65536 ? 4 << 20 : 256 << 20;
        QVERIFY(write("LETTER.ORV", QByteArray(size, 'a')));
        form_->setProgressDelay(0);
        auto* progress = find<QProgressBar>("progress");
        // The bar is set, then shown, on the window's tick, which a fast
        // machine runs only once or twice in the whole run: what it was set
        // to is kept here rather than sampled while it may already be gone.
        QSignalSpy set(progress, &QProgressBar::valueChanged);

        convert("XXX-");
        if (close) {
            form_->close();
            QVERIFY(!form_->converting());
            QCOMPARE(messages_.size(), 1);
            QCOMPARE(filesHere(), files);
            for (const char* output : {"LETTER.ORV.acc", "LETTER.ORV.rtf", "LETTER.ORV.txt"})
                QCOMPARE(contentOf(output), earlier.takeFirst());
            return;
        }
        waitForTheRun();
        QVERIFY(std::any_of(set.begin(), set.end(),
                            [](const QList<QVariant>& value) { return value.at(0).toInt() > 0; }));
        QVERIFY(!progress->isVisible());
        QCOMPARE(messages_.last(), "Successfully converted!");
    }

    // Bytes of the decoded text with no Unicode character are told in a box
    // of their own before the closing message, which stays as it is.
    void unicodeTextWarnsOfReplacedBytesFirst() {
        QVERIFY(write("HIGH.ORV", "ab\xf0\xf1\x03"
                                  "cd\x03"));
        QTRY_VERIFY(file1()->fileNames().contains("HIGH.ORV")); // the folder is watched
        select("HIGH.ORV");
        find<QCheckBox>("optFormatUnicode")->setChecked(true);
        convert("----");
        waitForTheRun();
        QCOMPARE(messages_,
                 QStringList({at("~/HIGH.ORV.utf8.txt: 2 bytes with no Unicode character, "
                                 "written as U+FFFD"),
                              "Successfully converted!"}));
        QVERIFY(filesHere().contains("HIGH.ORV.utf8.txt"));
    }

    void helpOpensTheLocalPageElseTheInstalledOneAndShowsNothing() {
        QTest::mouseClick(find("cmdHelp"), Qt::LeftButton);
        QVERIFY(QDir().mkpath("docs") && QFile("docs/help.htm").open(QIODevice::WriteOnly));
        QTest::mouseClick(find("cmdHelp"), Qt::LeftButton);
        QCOMPARE(pages_, QStringList({ORV_INSTALLED_HELP, "docs/help.htm"}));
        QCOMPARE(messages_, QStringList());
    }

    void keys_data() {
        table<Key>({{"Alt+C converts", Qt::AltModifier | Qt::Key_C, true, ""},
                    {"Alt+O toggles", Qt::AltModifier | Qt::Key_O, false, "chkOpenAfter"},
                    {"Alt+U toggles", Qt::AltModifier | Qt::Key_U, false, "optFormatUnicode"},
                    {"Alt+H nothing", Qt::AltModifier | Qt::Key_H, false, ""},
                    {"Alt+X nothing", Qt::AltModifier | Qt::Key_X, false, ""},
                    {"Enter nothing", Qt::Key_Return, false, ""},
                    {"Esc nothing", Qt::Key_Escape, false, ""}});
    }
    void keys() {
        QFETCH(Key, row);
        select("LETTER.ORV");
        find<QCheckBox>("optFormatText")->setChecked(true);
        find("chkOpenAfter")->setFocus();
        QSignalSpy exitClicks(find<ClickLabel>("cmdExit"), &ClickLabel::clicked);

        QTest::keyClick(QApplication::focusWidget(), row.key.key(), row.key.keyboardModifiers());
        QTest::qWait(300); // a mnemonic presses its button and lets go a moment later
        waitForTheRun();

        QCOMPARE(messages_.size(), row.converts ? 1 : 0);
        QCOMPARE(QFile::exists("LETTER.ORV.txt"), row.converts);
        for (const char* box : {"chkOpenAfter", "optFormatUnicode"})
            QCOMPARE(find<QCheckBox>(box)->isChecked(), qstrcmp(box, row.toggles) == 0);
        QCOMPARE(pages_, QStringList());
        QCOMPARE(exitClicks.size(), 0);
    }

    // Each access key belongs to one caption of the whole window alone.
    void accessKeysAreUnique_data() {
        table<Caption>({{"Command1", "&Convert", 'C'},
                        {"chkOpenAfter", "&Open converted files.", 'O'},
                        {"optFormatUnicode", "&Unicode text", 'U'},
                        {"cmdHelp", "&Help", 'H'},
                        {"cmdExit", "E&xit", 'X'}});
    }
    void accessKeysAreUnique() {
        QFETCH(Caption, row);
        const auto text = [](QWidget* control) {
            if (auto* button = qobject_cast<QAbstractButton*>(control))
                return button->text();
            auto* label = qobject_cast<QLabel*>(control);
            return label ? label->text() : QString();
        };
        QCOMPARE(text(find(row.tag)), row.text);
        QStringList owners;
        for (QWidget* control : form_->findChildren<QWidget*>())
            if (QKeySequence::mnemonic(text(control)) == QKeySequence(Qt::ALT | row.key))
                owners.append(control->objectName());
        QCOMPARE(owners, QStringList{row.tag});
    }

    // The format boxes one step apart down Shape2, the fourth as the three
    // above it; nothing around them moved for it.
    void formatBoxesFollowOneStep_data() {
        table<Place>({{"optFormatAccent", 4200, 720, 1695, 255},
                      {"optFormatRTF", 4200, 1080, 1575, 255},
                      {"optFormatText", 4200, 1440, 1575, 255},
                      {"optFormatUnicode", 4200, 1800, 1575, 255},
                      {"Shape2", 3720, 480, 2535, 1815},
                      {"lblExplain", 3840, 1800, 2295, 375},
                      {"chkOpenAfter", 3960, 2520, 2175, 195},
                      {"Command1", 4080, 3000, 1815, 375},
                      {"Frame", 120, 1800, 6615, 3975}});
    }
    void formatBoxesFollowOneStep() {
        QFETCH(Place, row);
        const double pixels = form_->width() / 6840.0;
        const QRect place = find(row.tag)->geometry();
        // Controls too small for the style's caption grow about their middle.
        QVERIFY(qAbs(place.left() - row.left * pixels) <= 1);
        QVERIFY(qAbs(place.center().y() - (row.top + row.height / 2.0) * pixels) <= 1);
        QVERIFY(place.width() >= qFloor(row.width * pixels));
        if (QByteArray(row.tag).startsWith("optFormat")) {
            const QRect shape = find("Shape2")->geometry();
            QVERIFY(shape.contains(place));
            QCOMPARE(place.height(), find("optFormatText")->height());
            // On top, where a click lands: lblExplain lies across the fourth.
            QWidget* box = find(row.tag);
            QCOMPARE(form_->childAt(box->mapTo(form_.get(), box->rect().center())), box);
        }
    }

    // Only a ticked box selects: clear and grayed leave its output out.
    void boxesMakeTheJob_data() {
        table<Job>({{"none", "-----", false, false, false, false, false},
                    {"unicode text alone", "---X-", false, false, false, true, false},
                    {"unicode text grayed", "---?-", false, false, false, false, false},
                    {"all, opened after", "XXXXX", true, true, true, true, true},
                    {"all but unicode text", "XXX-X", true, true, true, false, true}});
    }
    void boxesMakeTheJob() {
        QFETCH(Job, row);
        const char* names[] = {"optFormatAccent", "optFormatRTF", "optFormatText",
                               "optFormatUnicode", "chkOpenAfter"};
        for (int i = 0; i < 5; ++i) {
            auto* box = find<QCheckBox>(names[i]);
            QCOMPARE(box->checkState(), Qt::Unchecked);
            box->setCheckState(Qt::CheckState(QByteArray("-?X").indexOf(row.boxes[i])));
        }
        select("LETTER.ORV");
        const ConversionJob job = form_->chosenJob();
        QCOMPARE(job.source, at("~/LETTER.ORV").toStdString());
        QCOMPARE(job.accent, row.accent);
        QCOMPARE(job.rtf, row.rtf);
        QCOMPARE(job.text, row.text);
        QCOMPARE(job.unicodeText, row.unicodeText);
        QCOMPARE(job.openAfter, row.openAfter);
    }

    void browsing_data() {
        const char* sources = "apple.orv caf\xe9.ORV LETTER.ORV Mixed.Orv";
        table<Browse>(
            {{"double-click", "click", "~/sub", "~/sub", "inner.ORV", "", ""},
             {"Enter", "enter", "~/sub", "~/sub", "inner.ORV", "", ""},
             {"Latin-1 folder", "click", "~/d\xe9p\xf4t", "~/d\xe9p\xf4t", "vieux.ORV", "", ""},
             {"no sources", "click", "~/empty", "~/empty", "", "", ""},
             {"folder named like a source", "enter", "~/folder.ORV", "~/folder.ORV", "", "", ""},
             {"parent in the chain", "click", "^", "^", "", "", ""},
             {"open elsewhere", "open", "~/sub/inner.ORV", "~/sub", "inner.ORV", "inner.ORV", ""},
             {"open relative file", "open", "sub/inner.ORV", "~/sub", "inner.ORV", "inner.ORV", ""},
             {"open Latin-1 file", "open", "~/d\xe9p\xf4t/vieux.ORV", "~/d\xe9p\xf4t", "vieux.ORV",
              "vieux.ORV", ""},
             {"open folder", "open", "~/empty", "~/empty", "", "", ""},
             {"open missing file", "open", "~/sub/gone.ORV", "~", sources, "LETTER.ORV",
              "~/sub/gone.ORV: No such file or directory"},
             {"open below a file", "open", "~/LETTER.ORV/x.ORV", "~", sources, "LETTER.ORV",
              "~/LETTER.ORV/x.ORV: Not a directory"},
             {"drop source", "drop", "~/sub/inner.ORV", "~/sub", "inner.ORV", "inner.ORV", ""},
             {"drop Latin-1 source", "drop", "~/caf\xe9.ORV", "~", sources, "caf\xe9.ORV", ""},
             {"drop other file", "drop", "~/sub/read.txt", "~", sources, "LETTER.ORV", ""}});
    }
    void browsing() {
        QFETCH(Browse, row);
        select("LETTER.ORV");
        const QByteArray how = row.how;
        QMimeData data;
        data.setUrls({QUrl::fromEncoded("file://" + at(row.path).toPercentEncoding("/"))});
        QDragEnterEvent enter({228, 300}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QDropEvent drop(QPointF(228, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        if (how == "open")
            form_->openFile(at(row.path));
        else if (how != "drop")
            open(at(row.path), how == "enter");
        else if (QApplication::sendEvent(form_.get(), &enter), enter.isAccepted())
            QApplication::sendEvent(form_.get(), &drop);

        verifyShowing(at(row.shown), words(row.sources), row.message);
        QCOMPARE(file1()->fileName(), QByteArray(row.selected));
    }

    // Both lists read again, by opening the shown folder or by F5, the
    // folder and the selection kept.
    void listsAreReadAgain_data() {
        column<bool>("byF5", {{"shown folder opened again", false}, {"F5", true}});
    }
    void listsAreReadAgain() {
        QFETCH(bool, byF5);
        select("LETTER.ORV");
        QVERIFY(write(top_ + "/new.ORV") && fs::create_directory(at("~/newer").constData()));
        QVERIFY(fs::remove(at("~/apple.orv").constData()));
        byF5 ? QTest::keyClick(file1(), Qt::Key_F5) : open(top_);
        QCOMPARE(file1()->fileNames(), words("caf\xe9.ORV LETTER.ORV Mixed.Orv new.ORV"));
        if (byF5)
            QCOMPARE(file1()->fileName(), "LETTER.ORV");
        QVERIFY(dir1()->entries().contains(at("~/newer")));
        QCOMPARE(dir1()->currentIndex().row(), int(dir1()->entries().indexOf(top_)));
        QCOMPARE(messages_, QStringList());
    }

    void shownFolderIsWatched_data() {
        column<QByteArray>("folder", {{"plain name", "~"}, {"Latin-1 name", "~/d\xe9p\xf4t"}});
    }
    void shownFolderIsWatched() {
        QFETCH(QByteArray, folder);
        form_->openFile(at(folder));
        const QByteArrayList before = file1()->fileNames();
        QVERIFY(!before.isEmpty());
        file1()->selectFile(before.last());
        QVERIFY(write(at(folder) + "/0new.ORV"));
        QTRY_COMPARE_WITH_TIMEOUT(file1()->fileNames(), QByteArrayList{"0new.ORV"} + before, 20000);
        QCOMPARE(file1()->fileName(), before.last());
        QVERIFY(fs::remove(at(folder + "/0new.ORV").constData()));
        QTRY_COMPARE_WITH_TIMEOUT(file1()->fileNames(), before, 20000);
        QCOMPARE(messages_, QStringList());
    }

    void removedFolderGivesWayToTheOneAbove() {
        form_->openFile(at("~/sub"));
        QVERIFY(fs::remove_all(at("~/sub").constData()));
        QTRY_COMPARE_WITH_TIMEOUT(dir1()->path(), top_, 20000);
        verifyShowing(top_, words("apple.orv caf\xe9.ORV LETTER.ORV Mixed.Orv"),
                      "~/sub: No such file or directory");
    }

    void namesShowOnOneLineAndApart_data() {
        table<Shown>(
            {{"UTF-8", "caf\xc3\xa9.ORV", u"café.ORV"_qs},
             {"Latin-1 é", "R\xe9sum\xe9.ORV", u"Résumé.ORV"_qs},
             {"Latin-1 ö", "R\xf6sum\xf6.ORV", u"Rösumö.ORV"_qs},
             {"cut-short UTF-8", "a\xc3", u"aÃ"_qs},
             {"newline and tab", "two\nlines\t", u"two\u240alines\u2409"_qs},
             {"escape, DEL", "\x1b]0;x\x7f", u"\u241b]0;x\u2421"_qs},
             {"C1 control",
              "a\xc2\x85"
              "b\x85",
              u"a\ufffdb\ufffd"_qs},
             {"right-to-left override", "evil\xe2\x80\xaegpj.ORV", u"evil\ufffdgpj.ORV"_qs},
             {"beyond the BMP", "\xf0\x9f\x93\x84.ORV", u"📄.ORV"_qs}});
    }
    void namesShowOnOneLineAndApart() {
        QFETCH(Shown, row);
        QCOMPARE(displayName(row.name), row.shown);
    }

    void namesInALatin1LocaleAreLatin1() {
        // A Latin-1 locale of our own, where the system has none.
        QTemporaryDir locales;
        const QString made = locales.filePath("en_US.ISO-8859-1");
        if (QProcess::execute("localedef", {"-i", "en_US", "-f", "ISO-8859-1", made}) != 0)
            QSKIP("localedef cannot make an ISO-8859-1 locale here");
        const std::string before = std::setlocale(LC_CTYPE, nullptr);
        const QByteArray path = qgetenv("LOCPATH");
        qputenv("LOCPATH", QFile::encodeName(locales.path()));
        const bool latin1 = std::setlocale(LC_CTYPE, "en_US.ISO-8859-1") != nullptr;
        path.isNull() ? qunsetenv("LOCPATH") : qputenv("LOCPATH", path);
        if (!latin1)
            QSKIP("the ISO-8859-1 locale made does not load");
        const QString resume = displayName("R\xe9sum\xe9.ORV"), utf8 = displayName("caf\xc3\xa9");
        std::setlocale(LC_CTYPE, before.c_str());
        QCOMPARE(resume, u"Résumé.ORV"_qs);
        QCOMPARE(utf8, u"cafÃ©"_qs);
    }

    void latin1NamesAreToldApartAndConvertByTheirBytes() {
        QVERIFY(write(top_ + "/R\xe9sum\xe9.ORV", "HDR\003ab") &&
                write(top_ + "/R\xf6sum\xf6.ORV", "HDR\003ab"));
        QTest::keyClick(file1(), Qt::Key_F5);
        QStringList shown;
        for (int row = 0; row < file1()->model()->rowCount(); ++row)
            shown.append(file1()->model()->index(row, 0).data().toString());
        QVERIFY2(shown.contains(u"Résumé.ORV"_qs) && shown.contains(u"Rösumö.ORV"_qs),
                 qPrintable(shown.join(u'|')));
        select("R\xf6sum\xf6.ORV");
        convert("--X-");
        waitForTheRun();
        QVERIFY(fs::exists(at("~/R\xf6sum\xf6.ORV.txt").constData()));
        QVERIFY(!fs::exists(at("~/R\xe9sum\xe9.ORV.txt").constData()));
    }

    void failureMessagesShowNamesAsTheListsDo() {
        fs::create_directory(at("~/two\nlines").constData());
        QVERIFY(write(top_ + "/two\nlines/x.ORV"));
        form_->openFile(at("~/two\nlines/x.ORV"));
        QCOMPARE(file1()->fileName(), "x.ORV");
        QVERIFY(fs::remove(at("~/two\nlines/x.ORV").constData()));
        convert("--X-");
        waitForTheRun();
        QCOMPARE(messages_,
                 QStringList{displayName(at("~/two\nlines/x.ORV: No such file or directory"))});
        QVERIFY(!messages_.first().contains(u'\n'));
        QVERIFY(messages_.first().contains(u"two\u240alines/x.ORV"_qs));
    }

    void failedOpenPutsTheHighlightBack() {
        select("LETTER.ORV");
        QVERIFY(fs::remove_all(at("~/sub").constData()));
        open(at("~/sub"));
        verifyShowing(top_, words("apple.orv caf\xe9.ORV LETTER.ORV Mixed.Orv"),
                      "~/sub: No such file or directory");
        const int shown = int(dir1()->entries().indexOf(top_));
        QCOMPARE(dir1()->currentIndex().row(), shown);
        QCOMPARE(dir1()->selectionModel()->selectedIndexes().value(0).row(), shown);
        QCOMPARE(file1()->fileName(), "LETTER.ORV");
    }

    void deepFolderNameIsInView_data() {
        column<int>("levels", {{"20 levels", 20}, {"34 levels", 34}});
    }
    void deepFolderNameIsInView() {
        QFETCH(int, levels);
        QByteArray deep = top_;
        for (int level = 1; level <= levels; ++level)
            deep += "/level" + QByteArray::number(level);
        QVERIFY(fs::create_directories(deep.constData()));
        form_->openFile(deep);
        QCOMPARE(dir1()->path(), deep);
        QCoreApplication::sendPostedEvents();
        // The shown folder's row, in device pixels: its ink (icon and name)
        // must be there, and end before the list's edge.
        const QImage view = dir1()->viewport()->grab().toImage();
        const qreal ratio = view.devicePixelRatio();
        const QRect row = dir1()->visualRect(dir1()->currentIndex());
        const int top = qCeil(row.top() * ratio) + 1, bottom = qFloor(row.bottom() * ratio) - 1;
        // Grounds: the list's at the left end, the highlight's at the right.
        const QRgb base = view.pixel(0, (top + bottom) / 2),
                   highlight = view.pixel(view.width() - 1, (top + bottom) / 2);
        const QList<int> ink =
            inkColumns(view, QRect(0, top, view.width(), bottom - top + 1), {base, highlight});
        QVERIFY2(!ink.isEmpty(), "the shown folder's row is empty");
        QVERIFY2(
            ink.last() < view.width() - 2,
            qPrintable(
                QString("ink %1 to %2 of %3").arg(ink.first()).arg(ink.last()).arg(view.width())));
    }

    void newlineInAFolderNameKeepsRowsOneLineHigh() {
        fs::create_directory(at("~/two\nlines").constData());
        QString failure;
        QVERIFY(dir1()->setPath(top_, failure));
        const int line = dir1()->fontMetrics().lineSpacing();
        for (int row = 0; row < dir1()->model()->rowCount(); ++row)
            QVERIFY(dir1()->visualRect(dir1()->model()->index(row, 0)).height() < 2 * line);
    }

    void captionsReadWell_data() {
        table<Scheme>(
            {{"light", false, "#efefef", "#000000", "#ffffff", "#efefef"},
             {"dark", false, "#353535", "#eeeeee", "#2a2a2a", "#454545"},
             {"high contrast", false, "#000000", "#ffffff", "#000000", "#000000"},
             {"darker, as qt6ct has it", false, "#222020", "#ffffff", "#3d3d3d", "#424245"},
             {"switched to dark", true, "#353535", "#eeeeee", "#2a2a2a", "#454545"},
             {"switched to high contrast", true, "#000000", "#ffffff", "#000000", "#000000"}});
    }
    void captionsReadWell() {
        QFETCH(Scheme, row);
        QPalette scheme(row.text, row.button, row.button.lighter(), row.button.darker(),
                        row.button.darker(120), row.text, row.text, row.base, row.window);
        if (row.switched)
            startForm();
        QApplication::setPalette(scheme);
        // The change itself, then what the window does once it has gone round.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents();
        if (!row.switched)
            startForm();
        verifyCaptionsReadWell();
    }

    // Every colour scheme qt6ct ships, as qt6ct hands it to the application.
    void qt6ctSchemesReadWell_data() {
        QTest::addColumn<QString>("file");
        const QDir schemes("/usr/share/qt6ct/colors");
        for (const QString& name : schemes.entryList({"*.conf"}, QDir::Files))
            QTest::newRow(qPrintable(name)) << schemes.filePath(name);
        if (schemes.entryList({"*.conf"}, QDir::Files).isEmpty())
            QTest::newRow("qt6ct missing") << QString();
    }
    void qt6ctSchemesReadWell() {
        QFETCH(QString, file);
        if (file.isEmpty())
            QSKIP("qt6ct's colour schemes are not installed");
        const QSettings conf(file, QSettings::IniFormat);
        QPalette scheme;
        const QPalette::ColorGroup groups[] = {QPalette::Active, QPalette::Inactive,
                                               QPalette::Disabled};
        const char* keys[] = {"active_colors", "inactive_colors", "disabled_colors"};
        for (int group = 0; group < 3; ++group) {
            const QStringList colours =
                conf.value(QString("ColorScheme/") + keys[group]).toStringList();
            QVERIFY(colours.size() >= QPalette::NColorRoles - 1);
            for (int role = 0; role < colours.size() && role < QPalette::NColorRoles; ++role)
                scheme.setColor(groups[group], QPalette::ColorRole(role),
                                QColor(colours[role].trimmed()));
        }
        QApplication::setPalette(scheme);
        QCoreApplication::sendPostedEvents();
        startForm();
        verifyCaptionsReadWell();
    }

private:
    // Each caption's text colour against what is really drawn under it: the
    // commonest colour of its place in the window, in device pixels; lists,
    // the drive box and buttons against their own ground.
    void verifyCaptionsReadWell() {
        const QImage window = form_->grab().toImage();
        const qreal ratio = window.devicePixelRatio();
        for (QWidget* caption : form_->findChildren<QWidget*>()) {
            QColor ground;
            QPalette::ColorRole role = caption->foregroundRole();
            if (qobject_cast<QAbstractItemView*>(caption) || qobject_cast<QComboBox*>(caption)) {
                ground = caption->palette().color(QPalette::Base), role = QPalette::Text;
            } else if (qobject_cast<QPushButton*>(caption)) {
                ground = caption->palette().color(QPalette::Button);
            } else if (qobject_cast<QLabel*>(caption) || qobject_cast<QCheckBox*>(caption)) {
                const QRect place(caption->mapTo(form_.get(), QPoint()), caption->size());
                QRect pixels(QPoint(qCeil(place.left() * ratio), qCeil(place.top() * ratio)),
                             QPoint(qFloor(place.right() * ratio), qFloor(place.bottom() * ratio)));
                QHash<QRgb, int> seen;
                pixels &= window.rect();
                for (int y = pixels.top(); y <= pixels.bottom(); ++y)
                    for (int x = pixels.left(); x <= pixels.right(); ++x)
                        ++seen[window.pixel(x, y)];
                QRgb commonest = 0;
                for (auto it = seen.cbegin(); it != seen.cend(); ++it)
                    if (it.value() > seen.value(commonest))
                        commonest = it.key();
                ground = QColor(commonest);
            } else {
                continue;
            }
            const QColor text = caption->palette().color(role);
            const double contrast = contrastRatio(text, ground);
            QVERIFY2(contrast >= 4.5,
                     qPrintable(caption->objectName() + " " + text.name() + " on " + ground.name() +
                                " " + QString::number(contrast)));
        }
    }

private Q_SLOTS:

    void controlsShowTheirWholeContent() { verifyWholeContent(); }

private:
    void verifyWholeContent() {
        for (QWidget* control : form_->findChildren<QWidget*>()) {
            if (!control->isVisible() || control->parentWidget()->inherits("QComboBox"))
                continue;
            const bool scrolls =
                control->inherits("QAbstractScrollArea") || control->inherits("QComboBox");
            const QSize hint = scrolls ? control->minimumSizeHint() : control->sizeHint();
            const QSize room = control->size();
            if (control->hasHeightForWidth())
                QVERIFY2(control->heightForWidth(room.width()) <= room.height(),
                         qPrintable(control->objectName() +
                                    QString(" %1 high in %2x%3, %4")
                                        .arg(control->heightForWidth(room.width()))
                                        .arg(room.width())
                                        .arg(room.height())
                                        .arg(control->fontInfo().family())));
            else if (hint.isValid())
                QVERIFY2(hint.width() <= room.width() && hint.height() <= room.height(),
                         qPrintable(control->objectName() + QString(" %1x%2 in %3x%4")
                                                                .arg(hint.width())
                                                                .arg(hint.height())
                                                                .arg(room.width())
                                                                .arg(room.height())));
        }
    }

private Q_SLOTS:

    // Whatever font the desktop puts in place of the intro's named one, and
    // however long its text, the intro shows whole; what lies below moves
    // only when the room below the intro is not enough.
    void introShowsWhole_data() {
        table<Intro>({{"as named", "", 100, 1, false},
                      {"Noto Sans: lines further apart", "Noto Sans", 100, 1, false},
                      {"DejaVu Sans: wider letters", "DejaVu Sans", 100, 1, false},
                      {"letters twice as far apart", "", 200, 1, true},
                      {"text twice as long", "", 100, 2, true}});
    }
    void introShowsWhole() {
        QFETCH(Intro, row);
        if (*row.family && !QFontDatabase::hasFamily(row.family))
            QSKIP(qPrintable(QString(row.family) + " is not installed"));
        auto* intro = find<QLabel>("lblSIntro");
        QWidget* frame = find("Frame");
        const QSize window = form_->size();
        const QRect drawn = frame->geometry(), convert = find("Command1")->geometry();
        QFont font = intro->font();
        if (*row.family)
            font.setFamilies({row.family});
        font.setLetterSpacing(QFont::PercentageSpacing, row.spacing);
        intro->setFont(font);
        intro->setText(QStringList(row.copies, intro->text()).join(u' '));
        // Laid out again, as when the desktop's font changes.
        QEvent change(QEvent::FontChange);
        QApplication::sendEvent(form_.get(), &change);

        verifyWholeContent();
        const int moved = frame->y() - drawn.y();
        QCOMPARE(moved > 0, row.moves);
        QVERIFY(intro->geometry().bottom() < frame->y());
        QCOMPARE(frame->geometry(), drawn.translated(0, moved));
        QCOMPARE(find("Command1")->geometry(), convert);
        QCOMPARE(form_->size(), window + QSize(0, moved));
    }

    void assistiveTechnology_data() {
        table<Access>({{"Image1", "ORV Converter logo", QAccessible::Graphic},
                       {"Label1", "ORV Converter 2.0", QAccessible::StaticText},
                       {"Drive1", "Drive", QAccessible::ComboBox},
                       {"Dir1", "Folders", QAccessible::List},
                       {"File1", "ORV documents", QAccessible::List},
                       {"optFormatRTF", "RTF       ( *.rtf    )", QAccessible::CheckBox},
                       {"optFormatUnicode", "Unicode text", QAccessible::CheckBox},
                       {"chkOpenAfter", "Open converted files.", QAccessible::CheckBox},
                       {"Command1", "Convert", QAccessible::Button},
                       {"cmdHelp", "Help", QAccessible::Button},
                       {"cmdExit", "Exit", QAccessible::Button}});
    }
    void assistiveTechnology() {
        QFETCH(Access, row);
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(find(row.tag));
        QVERIFY(control);
        QCOMPARE(control->text(QAccessible::Name), row.name);
        QCOMPARE(control->role(), row.role);
        auto* label = find<ClickLabel>(row.tag);
        if (!label)
            return;
        QSignalSpy clicks(label, &ClickLabel::clicked);
        QAccessibleActionInterface* actions = control->actionInterface();
        QVERIFY(actions &&
                actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        QCOMPARE(actions->keyBindingsForAction(QAccessibleActionInterface::pressAction()), {});
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicks.size(), 1);
    }

    void driveListAndWindowTellAssistiveTechnologyWhatTheyShow() {
        drive1()->setRootSource([] { return QByteArrayList{"/"}; });
        QAccessibleInterface* drive = QAccessible::queryAccessibleInterface(drive1());
        QCOMPARE(drive->text(QAccessible::Value), "/");
        QVERIFY(drive->textInterface());
        QCOMPARE(drive->textInterface()->text(0, drive->textInterface()->characterCount()), "/");
        QCOMPARE(drive->childCount(), 1);
        QAccessibleInterface* drives = drive->child(0);
        QVERIFY(drives && drives->role() == QAccessible::List);
        QCOMPARE(drive->indexOfChild(drives), 0);
        QCOMPARE(drives->childCount(), 1);
        QCOMPARE(drives->child(0)->text(QAccessible::Name), "/");

        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(form_.get());
        QCOMPARE(window->role(), QAccessible::Window);
        QCOMPARE(window->text(QAccessible::Name), "ORV Converter 2");
    }

    void logoIsDrawnAtTheScreensPixelRatio() {
        const int side = find("Image1")->width() * 2;
        QImage drawn(side, side, QImage::Format_ARGB32_Premultiplied);
        drawn.setDevicePixelRatio(2);
        drawn.fill(Qt::transparent);
        find("Image1")->render(&drawn, {}, {}, QWidget::RenderFlags());
        const QImage sharp = logoPixmap(side).toImage().convertToFormat(drawn.format());
        long difference = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                difference += std::abs(qGray(drawn.pixel(x, y)) - qGray(sharp.pixel(x, y)));
        QVERIFY2(difference < side * side, qPrintable(QString::number(difference)));
    }

    void driveListIsFlatLikeTheOtherLists() {
        const QImage drive = drive1()->grab().toImage(), dir = dir1()->grab().toImage();
        const int middle = drive.height() / 2, inside = 2 * qCeil(drive.devicePixelRatio());
        QCOMPARE(drive.pixelColor(0, middle), dir.pixelColor(0, middle));
        for (int y = inside; y < drive.height() - inside; ++y)
            QCOMPARE(drive.pixelColor(inside, y), drive1()->palette().color(QPalette::Base));
    }

    void driveListShowsKeyboardFocus_data() {
        column<QString>("style", {{"Fusion", "Fusion"}, {"Windows", "Windows"}});
    }
    void driveListShowsKeyboardFocus() {
        QFETCH(QString, style);
        std::unique_ptr<QStyle> look(QStyleFactory::create(style));
        QVERIFY(look);
        drive1()->setStyle(look.get());
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        // Unicode text, Text, RTF, Accent, then the drive list, as the user tabs to it.
        for (int step = 0; step < 5; ++step)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), drive1());
        const QImage focused = drive1()->grab().toImage();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dir1());
        const QImage unfocused = drive1()->grab().toImage();
        QVERIFY2(focused != unfocused, "the focused drive list looks unfocused");
        drive1()->setStyle(nullptr);
    }

    void layoutFollowsTheDesktopFont_data() {
        column<bool>("switched", {{"16 pt from the start", false}, {"switched to 16 pt", true}});
    }
    void layoutFollowsTheDesktopFont() {
        QFETCH(bool, switched);
        const QSize before = form_->size();
        const QRect convertBefore = find("Command1")->geometry();
        form_.reset();
        QFont large = QApplication::font();
        large.setPointSizeF(16);
        if (switched)
            startForm();
        QApplication::setFont(large);
        if (!switched)
            startForm();
        QCoreApplication::sendPostedEvents();

        QCOMPARE(find("optFormatText")->font().pointSizeF(), 16.0);
        QCOMPARE(find("Command1")->font().pointSizeF(), 16.0);
        QVERIFY2(find("Label1")->font().pointSizeF() >= 18 * 1.9,
                 qPrintable(QString::number(find("Label1")->font().pointSizeF())));
        // At least twice the size, in proportion, the buttons where they were.
        const double factor = double(form_->width()) / 456;
        QVERIFY2(factor >= 1.9 && form_->width() > before.width(),
                 qPrintable(QString("%1x%2").arg(form_->width()).arg(form_->height())));
        QVERIFY(qAbs(form_->height() - 393 * factor) <= 2);
        const QRect convert = find("Command1")->geometry();
        QVERIFY(qAbs(double(convert.left()) / form_->width() -
                     double(convertBefore.left()) / before.width()) < 0.01);
        verifyWholeContent();
    }

    void rightToLeftMirrorsTheWholeWindow() {
        QHash<QString, QRect> leftToRight;
        for (QWidget* control : form_->findChildren<QWidget*>())
            if (!control->objectName().isEmpty() && !control->objectName().startsWith("qt_"))
                leftToRight.insert(control->objectName(), control->geometry());
        // A drive without a name: only the arrow is drawn inside the box.
        drive1()->setRootSource([] { return QByteArrayList{""}; });
        const QImage driveLtr = drive1()->grab().toImage();
        form_->setLayoutDirection(Qt::RightToLeft);
        for (auto it = leftToRight.cbegin(); it != leftToRight.cend(); ++it) {
            QWidget* control = find(qPrintable(it.key()));
            const QRect ltr = it.value();
            const int width = control->parentWidget()->width();
            QCOMPARE(control->geometry(),
                     QRect(width - ltr.right() - 1, ltr.top(), ltr.width(), ltr.height()));
        }
        // The drive list's arrow moves to the left end: count ink at each end.
        const QImage driveRtl = drive1()->grab().toImage();
        const auto ink = [this](const QImage& image, bool left) {
            const int band = image.height(), inside = 2 * qCeil(image.devicePixelRatio());
            const QRect end(left ? inside : image.width() - band, inside, band - inside,
                            image.height() - 2 * inside);
            return !inkColumns(image, end, {drive1()->palette().color(QPalette::Base).rgb()})
                        .isEmpty();
        };
        QVERIFY(ink(driveLtr, false) && !ink(driveLtr, true));
        QVERIFY(ink(driveRtl, true) && !ink(driveRtl, false));
    }

    void documentsAreOpenedByTheirBytes() {
        QCOMPARE(fileUrl("/tmp/caf\xe9 1.ORV.txt").toEncoded(), "file:///tmp/caf%E9%201.ORV.txt");
    }

    void longNamesFitTheMessageBoxWithTheirEndsInView() {
        const QString path = "/tmp/" + QString(251 - 8, u'n') + ".ORV.txt";
        const QString text = path + ": Permission denied";
        QMessageBox box;
        prepareMessageBox(box, text);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const QRect screen = box.screen()->availableGeometry();
        QVERIFY2(box.width() <= screen.width(), qPrintable(QString::number(box.width())));
        auto* label = box.findChild<QLabel*>("qt_msgbox_label");
        QVERIFY(label->text().startsWith("/tmp/nnn"));
        QVERIFY(label->text().endsWith(".ORV.txt: Permission denied"));
        // Nothing of the label's text is cut off.
        QVERIFY(label->sizeHint().width() <= label->width());
        QVERIFY(label->geometry().right() < box.width());
        QCOMPARE(box.detailedText(), text);
        box.hide();
    }

    void messageBoxIsWideEnoughForItsCaption() {
        QMessageBox box;
        prepareMessageBox(box, "Successfully converted!");
        QFont title = box.font();
        title.setBold(true);
        title.setPointSizeF(title.pointSizeF() * 1.5);
        // Room for the caption in a large title font, an icon and three buttons.
        QVERIFY(box.sizeHint().width() >=
                QFontMetrics(title).horizontalAdvance(box.windowTitle()) + 4 * 24);
        QCOMPARE(box.windowTitle(), "ORV Converter 2");
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
