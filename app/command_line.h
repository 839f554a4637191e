#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

namespace orv {

// What orvconverter's command line asks for.
struct CommandLine {
    enum class Action { run, help, version, mistake };
    Action action = Action::run;
    QByteArray file; // for run: the FILE to start at, as given, or empty
    QString text;    // for help and version: what to print; for mistake: why
};

// Reads arguments (the program's name first, as in argv): "--help",
// "--version", "--" and at most one FILE. FILE is kept as the bytes given,
// which QCommandLineParser, holding text, would not do for a Latin-1 name.
CommandLine parseCommandLine(const QByteArrayList& arguments);

} // namespace orv
