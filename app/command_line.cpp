#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace orv {

namespace {

// Qt's own options (QGuiApplication, QApplication and the X11 platform),
// which QApplication takes out of argv later; each with whether it takes
// the next argument as its value. Qt accepts them with one dash or two.
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr QtOption qtOptions[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"geometry", true},
    {"qwindowtitle", true},    {"title", true},
    {"qwindowicon", true},     {"icon", true},
    {"display", true},         {"name", true},
    {"session", true},         {"style", true},
    {"stylesheet", true},      {"qmljsdebugger", true},
    {"reverse", false},        {"nograb", false},
    {"dograb", false},         {"sync", false},
    {"widgetcount", false},    {"testability", false},
};

// argument's Qt option, if it is one ("-style", "--style", "-style=fusion").
const QtOption* qtOption(const QByteArray& argument, bool& valueAttached) {
    if (!argument.startsWith('-') || argument == "-" || argument == "--")
        return nullptr;
    QByteArray name = argument.mid(argument.startsWith("--") ? 2 : 1);
    const qsizetype equals = name.indexOf('=');
    valueAttached = equals >= 0;
    if (valueAttached)
        name.truncate(equals);
    for (const QtOption& option : qtOptions)
        if (name == option.name && (!valueAttached || option.takesValue))
            return &option;
    return nullptr;
}

} // namespace

QByteArrayList withoutQtOptions(const QByteArrayList& arguments) {
    QByteArrayList left;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QByteArray& argument = arguments[i];
        bool valueAttached = false;
        const QtOption* option = i > 0 ? qtOption(argument, valueAttached) : nullptr;
        if (argument == "--" && i > 0) {
            left.append(arguments.mid(i));
            break;
        }
        if (option == nullptr)
            left.append(argument);
        else if (option->takesValue && !valueAttached)
            ++i;
    }
    return left;
}

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

CommandLine parseCommandLine(const QByteArrayList& given) {
    const QByteArrayList arguments = withoutQtOptions(given);
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
