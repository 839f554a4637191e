// Browsing: the drive, directory and file lists, "Open with" and dropping a file.

#include "window_test_support.h"

#include <QMimeData>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

using namespace orv;
using namespace orv::test;

class NavigationTest : public QObject {
    Q_OBJECT

    QTemporaryDir scratch_;
    QString top_;
    std::unique_ptr<RecordingServices> services_;
    std::unique_ptr<Form1> form_;

    QString at(const QString& relative) const { return top_ + u'/' + relative; }

    // Opens the Dir1 entry for path the way the user does it.
    void openInDir1(const QString& path, bool byKeyboard) {
        DirList* list = dir1(*form_);
        const qsizetype row = list->entries().indexOf(path);
        QVERIFY2(row >= 0, qPrintable(path + " is not in Dir1"));
        const QModelIndex index = list->model()->index(int(row), 0);
        list->scrollTo(index);
        if (byKeyboard) {
            list->setCurrentIndex(index);
            QTest::keyClick(list, Qt::Key_Return);
        } else {
            // A double-click as the screen makes it: press, release, press, release.
            const QPoint centre = list->visualRect(index).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
            QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, centre);
        }
    }

    // A pick in Drive1, as the combo box reports one.
    void pickDrive(const QString& root) {
        DriveList* list = drive1(*form_);
        const int index = int(list->roots().indexOf(root));
        QVERIFY(index >= 0);
        list->setCurrentIndex(index);
        Q_EMIT list->activated(index);
    }

    void verifyShowing(const QString& folder) {
        QCOMPARE(dir1(*form_)->path(), folder);
        QCOMPARE(file1(*form_)->path(), folder);
        QCOMPARE(file1(*form_)->fileNames(), QDir(folder).entryList({"*.orv"}, QDir::Files));
    }

private Q_SLOTS:
    void init() {
        QVERIFY(scratch_.isValid());
        top_ = scratch_.path() + QStringLiteral("/top");
        QDir(top_).removeRecursively();
        for (const char* folder : {"sub/deep", "empty", "folder.ORV", "drives/A/deep", "drives/B"})
            QVERIFY(QDir().mkpath(at(QLatin1String(folder))));
        for (const char* file : {"LETTER.ORV", "notes.orv", "Mixed.Orv", "other.txt", ".hidden.ORV",
                                 "LETTER.ORV.txt", "sub/inner.ORV", "drives/B/b.ORV"})
            QVERIFY(writeFile(at(QLatin1String(file)), "x"));
        QVERIFY(QDir::setCurrent(top_));
        services_ = std::make_unique<RecordingServices>();
        form_ = std::make_unique<Form1>(*services_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    void cleanup() { form_.reset(); }

    void startsInTheWorkingDirectoryListingSourcesInAnyCase() {
        QCOMPARE(dir1(*form_)->path(), top_);
        QCOMPARE(file1(*form_)->path(), top_);
        QCOMPARE(file1(*form_)->fileNames(), QStringList({"LETTER.ORV", "Mixed.Orv", "notes.orv"}));
        QCOMPARE(file1(*form_)->fileName(), QString());
        const QStringList entries = dir1(*form_)->entries();
        QCOMPARE(entries.first(), QStringLiteral("/"));
        QCOMPARE(entries.mid(entries.indexOf(top_)),
                 QStringList({top_, at("drives"), at("empty"), at("folder.ORV"), at("sub")}));
    }

    void drivesAreRealFileSystems() {
        const QStringList roots = mountedRoots();
        QVERIFY(roots.contains(QStringLiteral("/")));
        for (const char* pseudo : {"/proc", "/sys", "/dev/pts"})
            QVERIFY2(!roots.contains(QLatin1String(pseudo)), pseudo);
        QCOMPARE(drive1(*form_)->drive(), QStorageInfo(top_).rootPath());
    }

    void openingAnEntryShowsItsFiles_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("byKeyboard");
        QTest::newRow("subdirectory, double-click") << "sub" << false;
        QTest::newRow("subdirectory, Enter") << "sub" << true;
        QTest::newRow("without sources") << "empty" << false;
        QTest::newRow("named like a source") << "folder.ORV" << true;
        QTest::newRow("parent in the chain") << ".." << false;
    }
    void openingAnEntryShowsItsFiles() {
        QFETCH(QString, entry);
        QFETCH(bool, byKeyboard);
        selectInFile1(*form_, QStringLiteral("LETTER.ORV"));
        const QString target = QDir::cleanPath(at(entry));

        openInDir1(target, byKeyboard);

        verifyShowing(target);
        QCOMPARE(file1(*form_)->fileName(), QString());
        QCOMPARE(services_->messages, QStringList());
    }

    void drivePickReturnsToTheDirectoryLastShownThere() {
        drive1(*form_)->setRoots({at("drives/A"), at("drives/B")});
        openInDir1(at("drives"), false);
        openInDir1(at("drives/A"), false);
        openInDir1(at("drives/A/deep"), false);
        QCOMPARE(drive1(*form_)->drive(), at("drives/A"));

        pickDrive(at("drives/B"));
        verifyShowing(at("drives/B"));
        pickDrive(at("drives/A"));
        verifyShowing(at("drives/A/deep"));
        QCOMPARE(services_->messages, QStringList());
    }

    void failedDrivePickSaysWhyAndRestoresTheLists_data() {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("picked");
        QTest::addColumn<QString>("unreachable");
        QTest::newRow("last directory gone") << "drives/A/deep"
                                             << "drives/A"
                                             << "drives/A/deep";
        QTest::newRow("file system gone") << ""
                                          << "drives/C"
                                          << "drives/C";
    }
    void failedDrivePickSaysWhyAndRestoresTheLists() {
        QFETCH(QString, removed);
        QFETCH(QString, picked);
        QFETCH(QString, unreachable);
        drive1(*form_)->setRoots({at("drives/A"), at("drives/B"), at("drives/C")});
        form_->openFile(at("drives/A/deep"));
        pickDrive(at("drives/B"));
        if (!removed.isEmpty())
            QVERIFY(QDir(at(removed)).removeRecursively());

        pickDrive(at(picked));

        QCOMPARE(services_->messages, QStringList{at(unreachable) + ": No such file or directory"});
        QCOMPARE(drive1(*form_)->drive(), at("drives/B"));
        verifyShowing(at("drives/B"));
    }

    void openWithSelectsTheFile_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("message");
        QTest::newRow("file elsewhere") << at("sub/inner.ORV") << at("sub") << "inner.ORV"
                                        << "";
        QTest::newRow("relative file") << "sub/inner.ORV" << at("sub") << "inner.ORV"
                                       << "";
        QTest::newRow("folder") << at("sub/deep") << at("sub/deep") << ""
                                << "";
        QTest::newRow("missing file") << at("sub/gone.ORV") << top_ << ""
                                      << at("sub/gone.ORV") + ": No such file or directory";
        QTest::newRow("below a file")
            << at("LETTER.ORV/x.ORV") << top_ << "" << at("LETTER.ORV/x.ORV") + ": Not a directory";
    }
    void openWithSelectsTheFile() {
        QFETCH(QString, argument);
        QFETCH(QString, folder);
        QFETCH(QString, selected);
        QFETCH(QString, message);

        form_->openFile(argument);

        verifyShowing(folder);
        QCOMPARE(file1(*form_)->fileName(), selected);
        QCOMPARE(services_->messages, message.isEmpty() ? QStringList() : QStringList{message});
    }

    void droppingASourceOpensIt_data() {
        QTest::addColumn<QString>("dropped");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("source") << at("sub/inner.ORV") << true;
        QTest::newRow("not a source") << at("other.txt") << false;
    }
    void droppingASourceOpensIt() {
        QFETCH(QString, dropped);
        QFETCH(bool, accepted);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(dropped)});
        const QPoint where(228, 300);
        QDragEnterEvent enter(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &enter);
        QCOMPARE(enter.isAccepted(), accepted);
        if (!accepted)
            return;
        QDropEvent drop(QPointF(where), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &drop);

        verifyShowing(at("sub"));
        QCOMPARE(file1(*form_)->fileName(), QStringLiteral("inner.ORV"));
    }
};

QTEST_MAIN(NavigationTest)
#include "navigation_test.moc"
