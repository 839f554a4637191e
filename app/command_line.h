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

// arguments (the program's name first, as in argv) without Qt's own options
// ("-style fusion", "-reverse", "-platform offscreen" and the like) and their
// values; everything after "--" stays.
QByteArrayList withoutQtOptions(const QByteArrayList& arguments);

// Reads arguments (the program's name first, as in argv): "--help",
// "--version", "--" and at most one FILE, Qt's own options allowed around
// them, so that it can answer before a display is needed. FILE is kept as the bytes given,
// which QCommandLineParser, holding text, would not do for a Latin-1 name.
CommandLine parseCommandLine(const QByteArrayList& arguments);

} // namespace orv
