// The window as a whole: its start-up state, Convert, Help and the keys.

#include "window_test_support.h"

#include "app/click_label.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using namespace orv;
using namespace orv::test;

namespace {

// The sample used by every conversion: "HDR", byte 3, "abcw", 255, 252, "xy", 254.
const QByteArray sample = QByteArray("HDR\x03"
                                     "abcw\xff\xfcxy\xfe",
                                     12);

} // namespace

class Form1Test : public QObject {
    Q_OBJECT

    QTemporaryDir scratch_;
    QString startFolder_;
    std::unique_ptr<RecordingServices> services_;
    std::unique_ptr<Form1> form_;

    QCheckBox* box(const char* name) const { return control<QCheckBox>(*form_, name); }

private Q_SLOTS:
    void init() {
        QVERIFY(scratch_.isValid());
        startFolder_ = scratch_.path() + QStringLiteral("/case");
        QDir(startFolder_).removeRecursively();
        QVERIFY(QDir().mkpath(startFolder_ + QStringLiteral("/docs")));
        QVERIFY(writeFile(startFolder_ + QStringLiteral("/LETTER.ORV"), sample));
        QVERIFY(QDir::setCurrent(startFolder_));
        services_ = std::make_unique<RecordingServices>();
        form_ = std::make_unique<Form1>(*services_);
        form_->show();
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    }
    void cleanup() { form_.reset(); }

    void startsWithTheTablesCaptionsAndPlaces_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("twips");
        auto row = [](const char* name, const char* text, QRect twips) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(text) << twips;
        };
        row("Shape1", nullptr, {0, 0, 7095, 1095});
        row("Frame", nullptr, {120, 1800, 6615, 3975});
        row("File1", nullptr, {360, 2040, 2895, 1785});
        row("optFormatAccent", "Accent   ( *.acc )", {4200, 720, 1695, 255});
        row("optFormatRTF", "RTF       ( *.rtf    )", {4200, 1080, 1575, 255});
        row("optFormatText", "Text       ( *.txt   )", {4200, 1440, 1575, 255});
        row("chkOpenAfter", "&Open converted files.", {3960, 2520, 2175, 195});
        row("Command1", "&Convert", {4080, 3000, 1815, 375});
        row("cmdHelp", "&Help", {4080, 3480, 855, 255});
        row("cmdExit", "E&xit", {5040, 3480, 855, 255});
    }
    void startsWithTheTablesCaptionsAndPlaces() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QRect, twips);
        QCOMPARE(form_->windowTitle(), QStringLiteral("ORV Converter 2"));
        QCOMPARE(form_->size(), QSize(456, 393));
        auto* widget = form_->findChild<QWidget*>(name);
        QVERIFY(widget != nullptr);
        const QRect pixels(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
        QCOMPARE(widget->geometry(), pixels);
        if (auto* label = qobject_cast<QLabel*>(widget))
            QCOMPARE(label->text(), text);
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            QCOMPARE(button->text(), text);
    }

    void startsClearWithFocusOnOpenAfterAndTabsInOrder() {
        for (const char* name :
             {"optFormatAccent", "optFormatRTF", "optFormatText", "chkOpenAfter"})
            QCOMPARE(box(name)->checkState(), Qt::Unchecked);
        QCOMPARE(file1(*form_)->fileName(), QString());

        QStringList order;
        for (int step = 0; step < 9; ++step) {
            order.append(QApplication::focusWidget()->objectName());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order,
                 QStringList({"chkOpenAfter", "optFormatText", "optFormatRTF", "optFormatAccent",
                              "Drive1", "Dir1", "File1", "Command1", "chkOpenAfter"}));
    }

    void convertsWhatTheBoxesSay_data() {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("ticked");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<QStringList>("opened");
        const QString success = QStringLiteral("Successfully converted!");
        QTest::newRow("nothing selected")
            << QString() << QStringList{"optFormatAccent"} << QStringLiteral("%1/: Is a directory")
            << QStringList() << QStringList();
        QTest::newRow("accent and text")
            << "LETTER.ORV" << QStringList{"optFormatAccent", "optFormatText"} << success
            << QStringList{"LETTER.ORV.acc", "LETTER.ORV.txt"} << QStringList();
        QTest::newRow("grayed counts as clear")
            << "LETTER.ORV" << QStringList{"optFormatRTF=grayed", "optFormatText"} << success
            << QStringList{"LETTER.ORV.txt"} << QStringList();
        QTest::newRow("open after, in order")
            << "LETTER.ORV" << QStringList{"optFormatAccent", "optFormatRTF", "chkOpenAfter"}
            << success << QStringList{"LETTER.ORV.acc", "LETTER.ORV.rtf"}
            << QStringList{"%1/LETTER.ORV.acc", "%1/LETTER.ORV.rtf"};
    }
    void convertsWhatTheBoxesSay() {
        QFETCH(QString, selected);
        QFETCH(QStringList, ticked);
        QFETCH(QString, message);
        QFETCH(QStringList, written);
        QFETCH(QStringList, opened);
        if (!selected.isEmpty())
            selectInFile1(*form_, selected);
        for (const QString& entry : ticked) {
            const QStringList parts = entry.split(u'=');
            box(qPrintable(parts[0]))
                ->setCheckState(parts.size() > 1 ? Qt::PartiallyChecked : Qt::Checked);
        }
        bool controlsTookInput = true;
        services_->whileShowing = [&] {
            controlsTookInput = control<QGroupBox>(*form_, "Frame")->isEnabled();
        };

        QTest::mouseClick(control<QPushButton>(*form_, "Command1"), Qt::LeftButton);

        QCOMPARE(services_->messages, QStringList{message.arg(startFolder_)});
        QVERIFY2(!controlsTookInput, "the controls took input while the run's message showed");
        QStringList expectedFiles = written + QStringList{"LETTER.ORV"};
        expectedFiles.sort();
        QCOMPARE(filesIn(startFolder_), expectedFiles);
        for (QString& path : opened)
            path = path.arg(startFolder_);
        QCOMPARE(services_->documents, opened);
        // Ready for the next run.
        QVERIFY(control<QGroupBox>(*form_, "Frame")->isEnabled());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void helpOpensTheLocalPageElseTheInstalledOne_data() {
        QTest::addColumn<bool>("pagePresent");
        QTest::addColumn<QString>("opened");
        QTest::newRow("page present") << true << "docs/help.htm";
        QTest::newRow("page missing") << false << ORV_INSTALLED_HELP;
    }
    void helpOpensTheLocalPageElseTheInstalledOne() {
        QFETCH(bool, pagePresent);
        QFETCH(QString, opened);
        if (pagePresent)
            QVERIFY(writeFile(QStringLiteral("docs/help.htm"), "<html></html>"));
        const QString folder = dir1(*form_)->path();
        const QStringList listed = file1(*form_)->fileNames();

        QTest::mouseClick(control<QLabel>(*form_, "cmdHelp"), Qt::LeftButton);

        QCOMPARE(services_->pages, QStringList{opened});
        QCOMPARE(services_->messages, QStringList());
        QCOMPARE(dir1(*form_)->path(), folder);
        QCOMPARE(file1(*form_)->fileNames(), listed);
    }

    void accessKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("converts");
        QTest::addColumn<bool>("togglesOpenAfter");
        QTest::newRow("Alt+C converts") << int(Qt::Key_C) << int(Qt::AltModifier) << true << false;
        QTest::newRow("Alt+O toggles") << int(Qt::Key_O) << int(Qt::AltModifier) << false << true;
        QTest::newRow("Alt+H nothing") << int(Qt::Key_H) << int(Qt::AltModifier) << false << false;
        QTest::newRow("Alt+X nothing") << int(Qt::Key_X) << int(Qt::AltModifier) << false << false;
        QTest::newRow("Enter nothing")
            << int(Qt::Key_Return) << int(Qt::NoModifier) << false << false;
        QTest::newRow("Esc nothing")
            << int(Qt::Key_Escape) << int(Qt::NoModifier) << false << false;
    }
    void accessKeys() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, converts);
        QFETCH(bool, togglesOpenAfter);
        selectInFile1(*form_, QStringLiteral("LETTER.ORV"));
        box("optFormatText")->setChecked(true);
        box("chkOpenAfter")->setFocus();
        QSignalSpy exitClicks(control<ClickLabel>(*form_, "cmdExit"), &ClickLabel::clicked);

        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key),
                        Qt::KeyboardModifiers(modifiers));

        // A mnemonic presses its button and lets go a moment later.
        QTest::qWait(300);
        QCOMPARE(services_->messages.size(), converts ? 1 : 0);
        QCOMPARE(QFile::exists(QStringLiteral("LETTER.ORV.txt")), converts);
        QCOMPARE(box("chkOpenAfter")->isChecked(), togglesOpenAfter);
        QCOMPARE(services_->pages, QStringList());
        QCOMPARE(exitClicks.size(), 0);
        QVERIFY(form_->isVisible());
    }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
