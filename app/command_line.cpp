#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace orv {

namespace {

// The arguments the parser takes as positional, with their bytes: every one
// after "--", and before it those that are not options ("-" alone is not).
QByteArrayList positionalBytes(const QByteArrayList& arguments) {
    QByteArrayList found;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QByteArray& argument = arguments[i];
        if (!optionsEnded && argument == "--")
            optionsEnded = true;
        else if (optionsEnded || argument == "-" || !argument.startsWith('-'))
            found.append(argument);
    }
    return found;
}

} // namespace

CommandLine parseCommandLine(const QByteArrayList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts ORV (Orvelle) documents to Accent, RTF and plain text."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("An ORV document (or a folder) to start at."),
                                 QStringLiteral("[FILE]"));
    QStringList texts;
    for (const QByteArray& argument : arguments)
        texts.append(QString::fromLocal8Bit(argument));
    if (!parser.parse(texts))
        return {CommandLine::Action::mistake, {}, parser.errorText()};
    if (parser.isSet(help) || parser.optionNames().contains(QStringLiteral("help-all")))
        // Read before QApplication exists, the parser cannot name the program itself.
        return {CommandLine::Action::help,
                {},
                parser.helpText().replace(
                    QStringLiteral("<executable_name>"),
                    QString::fromLocal8Bit(arguments.value(0).split('/').last()))};
    if (parser.isSet(version))
        return {CommandLine::Action::version,
                {},
                QCoreApplication::applicationName() + u' ' +
                    QCoreApplication::applicationVersion() + u'\n'};
    const QByteArrayList files = positionalBytes(arguments);
    if (files.size() > 1)
        return {CommandLine::Action::mistake,
                {},
                QStringLiteral("one FILE at most, %1 given").arg(files.size())};
    return {CommandLine::Action::run, files.value(0), {}};
}

} // namespace orv
