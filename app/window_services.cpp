#include "app/window_services.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace orv {

void DesktopServices::reportSuccess(const std::string& message) {
    showMessage(QFile::decodeName(message.c_str()));
}

void DesktopServices::reportFailure(const std::string& description) {
    showMessage(QFile::decodeName(description.c_str()));
}

void DesktopServices::openDocument(const std::string& path) {
    openPage(QFile::decodeName(path.c_str()));
}

void DesktopServices::showMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(programCaption), text, QMessageBox::Ok,
                    parent_);
    // A path may hold characters that rich text would swallow.
    box.setTextFormat(Qt::PlainText);
    // Some styles put an icon on the button too; the box shows none at all.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.exec();
}

void DesktopServices::openPage(const QString& path) {
    // A relative URL means nothing to the desktop's opener; resolve it here,
    // against the working directory.
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

} // namespace orv
