// orvconverter's command line, read as main() reads it.

#include "app/command_line.h"

#include <QCoreApplication>
#include <QTest>

using namespace orv;
using Action = CommandLine::Action;

// clang-format off
// arguments: after the program's name, split at spaces; said: a part of the text.
struct Case { const char *tag, *arguments; Action action; const char *file, *said; };
// clang-format on

class CommandLineTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void reads_data() {
        QTest::addColumn<Case>("row");
        for (const Case& row : std::initializer_list<Case>{
                 {"nothing", "", Action::run, "", ""},
                 {"one FILE", "a.ORV", Action::run, "a.ORV", ""},
                 {"Latin-1 FILE, bytes kept", "caf\xe9.ORV", Action::run, "caf\xe9.ORV", ""},
                 {"-- then a name like an option", "-- -x.ORV", Action::run, "-x.ORV", ""},
                 {"-- alone", "--", Action::run, "", ""},
                 {"two FILEs", "a.ORV b.ORV", Action::mistake, "", "one FILE at most, 2 given"},
                 {"two FILEs around --", "a.ORV -- b.ORV", Action::mistake, "", "2 given"},
                 {"--help", "--help", Action::help, "", "[options] [FILE]"},
                 {"-h", "-h", Action::help, "", "--version"},
                 {"--version", "--version", Action::version, "", "command_line_test"},
                 {"unknown option", "--bogus", Action::mistake, "", "bogus"},
                 {"Qt's flag before --version", "-reverse --version", Action::version, "",
                  "command_line_test"},
                 {"Qt's option and value before --help", "-style fusion --help", Action::help, "",
                  "[FILE]"},
                 {"Qt's option with two dashes", "--platform offscreen --version", Action::version,
                  "", ""},
                 {"Qt's option with =, then FILE", "-style=fusion a.ORV", Action::run, "a.ORV", ""},
                 {"Qt's options around FILE", "-reverse a.ORV -platform offscreen", Action::run,
                  "a.ORV", ""},
                 {"a Qt option's value is no FILE", "-title b.ORV a.ORV", Action::run, "a.ORV", ""},
                 {"after --, Qt's names are FILEs", "-- -reverse", Action::run, "-reverse", ""},
                 {"two FILEs around Qt's flag", "a.ORV -reverse b.ORV", Action::mistake, "",
                  "2 given"},
             })
            QTest::newRow(row.tag) << row;
    }
    void reads() {
        QFETCH(Case, row);
        QByteArrayList arguments = QByteArray(row.arguments).split(' ');
        arguments.removeAll(QByteArray());
        arguments.prepend("orvconverter");

        const CommandLine read = parseCommandLine(arguments);

        QCOMPARE(read.action, row.action);
        QCOMPARE(read.file, QByteArray(row.file));
        QVERIFY2(read.text.contains(QString::fromLatin1(row.said)), qPrintable(read.text));
    }
};

QTEST_MAIN(CommandLineTest)
#include "command_line_test.moc"
