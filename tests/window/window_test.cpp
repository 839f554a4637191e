// The window, offscreen, with a recording desktop in place of message boxes
// and the opener. In the tables "~" is the folder the window starts in.

#include "app/click_label.h"
#include "app/dir_list.h"
#include "app/drive_list.h"
#include "app/file_list.h"
#include "app/form1.h"
#include "app/window_services.h"

#include <QApplication>
#include <QCheckBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace orv;

// clang-format off
struct Place { const char *tag, *text; QRect twips; };
struct Pick { const char *tag, *removed, *picked, *shown, *message; };
// boxes: Accent, RTF, Text and Open after, each '-' clear, '?' grayed or 'X' ticked.
struct Run { const char *tag, *selected, *boxes, *message, *written, *opened; };
struct Key { const char* tag; QKeyCombination key; bool converts, togglesOpenAfter; };
// how: "click" or "enter" in Dir1, "open" as "Open with" does, "drop" onto the window.
struct Browse { const char *tag, *how, *path, *shown, *sources, *selected, *message; };
// clang-format on

template <typename Row> void table(std::initializer_list<Row> rows) {
    QTest::addColumn<Row>("row");
    for (const Row& row : rows)
        QTest::newRow(row.tag) << row;
}

// Also the window's desktop: it records what would be shown or opened.
class WindowTest : public QObject, public WindowServices {
    Q_OBJECT

    QTemporaryDir scratch_;
    const QString top_ = scratch_.path() + QStringLiteral("/top");
    std::unique_ptr<Form1> form_;
    QStringList messages_, pages_, documents_;
    bool tookInput_ = false; // whether the controls took input while the last message showed

    void reportSuccess(const std::string& text) override { showMessage(text.c_str()); }
    void reportFailure(const std::string& text) override { showMessage(text.c_str()); }
    void openDocument(const std::string& path) override { documents_.append(path.c_str()); }
    void showMessage(const QString& text) override {
        messages_ << text, tookInput_ = find("Frame")->isEnabled();
    }
    void openPage(const QString& path) override { pages_.append(path); }

    static QStringList words(const QString& text) { return text.split(u' ', Qt::SkipEmptyParts); }
    QString at(const char* text) const { return QString(text).replace(u'~', top_); }
    template <typename W = QWidget> W* find(const char* n) const { return form_->findChild<W*>(n); }
    DirList* dir1() const { return find<DirList>("Dir1"); }
    FileList* file1() const { return find<FileList>("File1"); }
    DriveList* drive1() const { return find<DriveList>("Drive1"); }

    // Clicks name in File1, as the user picks a source.
    void select(const QString& name) {
        const auto i = file1()->model()->index(int(file1()->fileNames().indexOf(name)), 0);
        QTest::mouseClick(file1()->viewport(), Qt::LeftButton, {}, file1()->visualRect(i).center());
    }
    // Opens path's Dir1 entry with Enter, or with a double-click as the screen makes it.
    void open(const QString& path, bool byEnter = false) {
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
    void verifyShowing(const QString& folder, const QStringList& sources, const char* message) {
        QCOMPARE(dir1()->path(), folder);
        QCOMPARE(file1()->path(), folder);
        QCOMPARE(file1()->fileNames(), sources);
        QCOMPARE(messages_, *message ? QStringList{at(message)} : QStringList());
    }

private Q_SLOTS:
    void init() {
        QDir(top_).removeRecursively();
        for (const char* folder : {"sub", "empty", "folder.ORV", "drives/A/deep", "drives/B"})
            QVERIFY(QDir().mkpath(top_ + u'/' + folder));
        for (const char* file : {"apple.orv", "Mixed.Orv", "other.txt", ".hidden.ORV",
                                 "old.ORV.txt", "sub/inner.ORV", "sub/read.txt"})
            QVERIFY(QFile(top_ + u'/' + file).open(QIODevice::WriteOnly));
        QFile letter(top_ + "/LETTER.ORV"); // "HDR", byte 3, then text: enough for every output
        QVERIFY(letter.open(QIODevice::WriteOnly) && letter.write("HDR\003abcw\377\374xy\376"));
        QVERIFY(QDir::setCurrent(top_));
        messages_ = pages_ = documents_ = {};
        form_ = std::make_unique<Form1>(*this);
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    }
    void cleanup() { form_.reset(); }

    void startsWithCaptionsPlacesAndClearBoxes_data() {
        table<Place>({{"Shape1", "", {0, 0, 7095, 1095}},
                      {"Frame", "", {120, 1800, 6615, 3975}},
                      {"File1", "", {360, 2040, 2895, 1785}},
                      {"optFormatAccent", "Accent   ( *.acc )", {4200, 720, 1695, 255}},
                      {"optFormatRTF", "RTF       ( *.rtf    )", {4200, 1080, 1575, 255}},
                      {"optFormatText", "Text       ( *.txt   )", {4200, 1440, 1575, 255}},
                      {"chkOpenAfter", "&Open converted files.", {3960, 2520, 2175, 195}},
                      {"Command1", "&Convert", {4080, 3000, 1815, 375}},
                      {"cmdHelp", "&Help", {4080, 3480, 855, 255}},
                      {"cmdExit", "E&xit", {5040, 3480, 855, 255}}});
    }
    void startsWithCaptionsPlacesAndClearBoxes() {
        QFETCH(Place, row);
        QCOMPARE(form_->windowTitle(), QStringLiteral("ORV Converter 2"));
        QCOMPARE(form_->size(), QSize(456, 393));
        QCOMPARE(find(row.tag)->geometry(), QRect(row.twips.topLeft() / 15, row.twips.size() / 15));
        QCOMPARE(find(row.tag)->property("text").toString(), QString(row.text));
        QVERIFY(!find(row.tag)->property("checked").toBool());
    }

    void startsInTheWorkingDirectoryWithTabsInOrder() {
        verifyShowing(top_, {"apple.orv", "LETTER.ORV", "Mixed.Orv"}, "");
        QCOMPARE(file1()->fileName(), QString());
        const QStringList entries = dir1()->entries();
        QCOMPARE(entries.first(), QStringLiteral("/"));
        QCOMPARE(entries.mid(entries.indexOf(top_)),
                 words(at("~ ~/drives ~/empty ~/folder.ORV ~/sub")));
        QStringList order;
        for (int step = 0; step < 9; ++step) {
            order.append(QApplication::focusWidget()->objectName());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order, words("chkOpenAfter optFormatText optFormatRTF optFormatAccent Drive1 Dir1 "
                              "File1 Command1 chkOpenAfter"));
        QVERIFY(mountedRoots().contains("/") && !mountedRoots().contains("/proc"));
    }

    void drivePick_data() {
        table<Pick>({{"back to the last directory", "", "~/drives/A", "~/drives/A/deep", ""},
                     {"last directory gone", "~/drives/A/deep", "~/drives/A", "~/drives/B",
                      "~/drives/A/deep: No such file or directory"},
                     {"file system gone", "", "~/drives/C", "~/drives/B",
                      "~/drives/C: No such file or directory"}});
    }
    void drivePick() {
        QFETCH(Pick, row);
        drive1()->setRoots(words(at("~/drives/A ~/drives/B ~/drives/C")));
        form_->openFile(at("~/drives/A/deep"));
        pickDrive("~/drives/B");
        QVERIFY(!*row.removed || QDir(at(row.removed)).removeRecursively());

        pickDrive(row.picked);

        verifyShowing(at(row.shown), {}, row.message);
        QCOMPARE(drive1()->directoryOn(drive1()->drive()), at(row.shown));
    }

    void convertsWhatTheBoxesSay_data() {
        const char* done = "Successfully converted!";
        table<Run>(
            {{"nothing selected", "", "X---", "~/: Is a directory", "", ""},
             {"accent and text", "LETTER.ORV", "X-X-", done, "LETTER.ORV.acc LETTER.ORV.txt", ""},
             {"grayed does not count", "LETTER.ORV", "-?X-", done, "LETTER.ORV.txt", ""},
             {"open after, in order", "LETTER.ORV", "XX-X", done, "LETTER.ORV.acc LETTER.ORV.rtf",
              "~/LETTER.ORV.acc ~/LETTER.ORV.rtf"}});
    }
    void convertsWhatTheBoxesSay() {
        QFETCH(Run, row);
        if (*row.selected)
            select(row.selected);
        const char* boxes[] = {"optFormatAccent", "optFormatRTF", "optFormatText", "chkOpenAfter"};
        for (int i = 0; i < 4; ++i)
            find<QCheckBox>(boxes[i])->setCheckState(
                Qt::CheckState(QByteArray("-?X").indexOf(row.boxes[i])));
        QStringList expected = QDir().entryList(QDir::Files | QDir::Hidden) + words(row.written);

        QTest::mouseClick(find("Command1"), Qt::LeftButton);

        QCOMPARE(messages_, QStringList{at(row.message)});
        QVERIFY2(!tookInput_, "the controls took input while the run's message showed");
        expected.sort(Qt::CaseInsensitive);
        QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), expected);
        QCOMPARE(documents_, words(at(row.opened)));
        QVERIFY(find("Frame")->isEnabled()); // ready for the next run
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void helpOpensTheLocalPageElseTheInstalledOneAndShowsNothing() {
        QTest::mouseClick(find("cmdHelp"), Qt::LeftButton);
        QVERIFY(QDir().mkpath("docs") && QFile("docs/help.htm").open(QIODevice::WriteOnly));
        QTest::mouseClick(find("cmdHelp"), Qt::LeftButton);
        QCOMPARE(pages_, QStringList({ORV_INSTALLED_HELP, "docs/help.htm"}));
        verifyShowing(top_, {"apple.orv", "LETTER.ORV", "Mixed.Orv"}, "");
    }

    void keys_data() {
        table<Key>({{"Alt+C converts", Qt::AltModifier | Qt::Key_C, true, false},
                    {"Alt+O toggles", Qt::AltModifier | Qt::Key_O, false, true},
                    {"Alt+H nothing", Qt::AltModifier | Qt::Key_H, false, false},
                    {"Alt+X nothing", Qt::AltModifier | Qt::Key_X, false, false},
                    {"Enter nothing", Qt::Key_Return, false, false},
                    {"Esc nothing", Qt::Key_Escape, false, false}});
    }
    void keys() {
        QFETCH(Key, row);
        select("LETTER.ORV");
        find<QCheckBox>("optFormatText")->setChecked(true);
        find("chkOpenAfter")->setFocus();
        QSignalSpy exitClicks(find<ClickLabel>("cmdExit"), &ClickLabel::clicked);

        QTest::keyClick(QApplication::focusWidget(), row.key.key(), row.key.keyboardModifiers());
        QTest::qWait(300); // a mnemonic presses its button and lets go a moment later

        QCOMPARE(messages_.size(), row.converts ? 1 : 0);
        QCOMPARE(QFile::exists("LETTER.ORV.txt"), row.converts);
        QCOMPARE(find<QCheckBox>("chkOpenAfter")->isChecked(), row.togglesOpenAfter);
        QCOMPARE(pages_, QStringList());
        QCOMPARE(exitClicks.size(), 0);
    }

    void browsing_data() {
        const char* sources = "apple.orv LETTER.ORV Mixed.Orv";
        table<Browse>(
            {{"double-click", "click", "~/sub", "~/sub", "inner.ORV", "", ""},
             {"Enter", "enter", "~/sub", "~/sub", "inner.ORV", "", ""},
             {"no sources", "click", "~/empty", "~/empty", "", "", ""},
             {"folder named like a source", "enter", "~/folder.ORV", "~/folder.ORV", "", "", ""},
             {"parent in the chain", "click", "~/..", "~/..", "", "", ""},
             {"open elsewhere", "open", "~/sub/inner.ORV", "~/sub", "inner.ORV", "inner.ORV", ""},
             {"open relative file", "open", "sub/inner.ORV", "~/sub", "inner.ORV", "inner.ORV", ""},
             {"open folder", "open", "~/empty", "~/empty", "", "", ""},
             {"open missing file", "open", "~/sub/gone.ORV", "~", sources, "LETTER.ORV",
              "~/sub/gone.ORV: No such file or directory"},
             {"open below a file", "open", "~/LETTER.ORV/x.ORV", "~", sources, "LETTER.ORV",
              "~/LETTER.ORV/x.ORV: Not a directory"},
             {"drop source", "drop", "~/sub/inner.ORV", "~/sub", "inner.ORV", "inner.ORV", ""},
             {"drop other file", "drop", "~/sub/read.txt", "~", sources, "LETTER.ORV", ""}});
    }
    void browsing() {
        QFETCH(Browse, row);
        select("LETTER.ORV");
        const QString how = row.how;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(at(row.path))});
        QDragEnterEvent enter({228, 300}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QDropEvent drop(QPointF(228, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        if (how == "open")
            form_->openFile(at(row.path));
        else if (how != "drop")
            open(QDir::cleanPath(at(row.path)), how == "enter");
        else if (QApplication::sendEvent(form_.get(), &enter), enter.isAccepted())
            QApplication::sendEvent(form_.get(), &drop);

        verifyShowing(QDir::cleanPath(at(row.shown)), words(row.sources), row.message);
        QCOMPARE(file1()->fileName(), QString(row.selected));
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
