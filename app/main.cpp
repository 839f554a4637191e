// orvconverter: the window. An optional FILE argument starts it in FILE's
// folder with FILE selected, which is how the desktop's "Open with" calls it.

#include "app/command_line.h"
#include "app/form1.h"
#include "app/startup_probe.h"
#include "app/window_services.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvconverter"));
    QApplication::setApplicationVersion(QStringLiteral(ORV_VERSION));
    // QApplication has taken its own options (-style and the like) out of argv.
    QByteArrayList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(argv[i]);
    const orv::CommandLine command = orv::parseCommandLine(arguments);
    switch (command.action) {
    case orv::CommandLine::Action::help:
    case orv::CommandLine::Action::version:
        std::fputs(command.text.toLocal8Bit().constData(), stdout);
        return 0;
    case orv::CommandLine::Action::mistake:
        std::fprintf(stderr, "orvconverter: %s\nTry 'orvconverter --help'.\n",
                     command.text.toLocal8Bit().constData());
        return 2;
    case orv::CommandLine::Action::run:
        break;
    }

    orv::DesktopServices services;
    orv::Form1 form(services);
    services.setDialogParent(&form);
    orv::probeStartup(form);
    form.show();
    if (!command.file.isEmpty())
        form.openFileWhenShown(command.file);
    return QApplication::exec();
}
