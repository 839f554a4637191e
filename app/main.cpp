// orvconverter: the window. An optional FILE argument starts it in FILE's
// folder with FILE selected, which is how the desktop's "Open with" calls it.

#include "app/form1.h"
#include "app/startup_probe.h"
#include "app/window_services.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    orv::DesktopServices services;
    orv::Form1 form(services);
    services.setDialogParent(&form);
    orv::probeStartup(form);
    form.show();
    // After show, so that a message saying why FILE cannot be opened appears
    // over the window; before the event loop, so that nothing is painted first.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        form.openFile(arguments.at(1));
    return QApplication::exec();
}
