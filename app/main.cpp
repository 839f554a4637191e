// orvconverter: the window. An optional FILE argument starts it in FILE's
// folder with FILE selected, which is how the desktop's "Open with" calls it.

#include "app/command_line.h"
#include "app/form1.h"
#include "app/startup_probe.h"
#include "app/window_services.h"
#include "io/temporary_files.h"

#include <QApplication>

#include <cstdio>

namespace {

orv::CommandLine readCommandLine(int argc, char* argv[]) {
    QByteArrayList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(argv[i]);
    return orv::parseCommandLine(arguments);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("orvconverter"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORV_VERSION));
    // --help, --version and a mistake are answered before the window system
    // is asked for, so that they work without a display; Qt's own options
    // are left for QApplication to take.
    const orv::CommandLine command = readCommandLine(argc, argv);
    if (command.action == orv::CommandLine::Action::help ||
        command.action == orv::CommandLine::Action::version) {
        std::fputs(command.text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (command.action == orv::CommandLine::Action::mistake) {
        std::fprintf(stderr, "orvconverter: %s\nTry 'orvconverter --help'.\n",
                     command.text.toLocal8Bit().constData());
        return 2;
    }
    // Killed mid-run, the window leaves no hidden half-written file behind.
    orv::removeTemporariesOnSignal();
    // The window's class and its Wayland app id match the desktop file, so
    // that docks group the window with its launcher.
    QGuiApplication::setDesktopFileName(QStringLiteral("orv-converter"));
    QApplication app(argc, argv);

    orv::DesktopServices services;
    orv::Form1 form(services);
    services.setDialogParent(&form);
    orv::probeStartup(form);
    form.show();
    if (!command.file.isEmpty())
        form.openFileWhenShown(command.file);
    return QApplication::exec();
}
