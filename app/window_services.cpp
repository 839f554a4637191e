#include "app/window_services.h"

#include "app/directory_listing.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

namespace orv {

void WindowServices::reportSuccess(const std::string& message) {
    showMessage(displayName(QByteArray::fromStdString(message)));
}

void WindowServices::reportFailure(const std::string& description) {
    showMessage(displayName(QByteArray::fromStdString(description)));
}

void WindowServices::reportWarning(const std::string& message) {
    showMessage(displayName(QByteArray::fromStdString(message)));
}

QUrl fileUrl(const QByteArray& absolutePath) {
    return QUrl::fromEncoded("file://" + absolutePath.toPercentEncoding("/"));
}

void DesktopServices::openDocument(const std::string& path) {
    // The desktop's opener is handed the URL's encoded form, so a Latin-1
    // name reaches it byte for byte.
    QDesktopServices::openUrl(fileUrl(QByteArray::fromStdString(path)));
}

void prepareMessageBox(QMessageBox& box, const QString& text) {
    box.setWindowTitle(QString::fromLatin1(programCaption));
    // A path may hold characters that rich text would swallow.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    // Qt wraps a message at spaces only and lets a longer word widen the box
    // up to the screen's width, then cuts it off. Half the screen, as Qt
    // itself aims for, leaves room for the box's margins.
    const QLabel* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const QFontMetrics metrics(label ? label->font() : box.font());
    const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    const int lineWidth = std::min(screen->availableGeometry().width() / 2, 500) - 40;
    QStringList lines = text.split(u'\n');
    bool shortened = false;
    for (QString& line : lines) {
        QStringList words = line.split(u' ');
        for (QString& word : words) {
            if (metrics.horizontalAdvance(word) <= lineWidth)
                continue;
            word = metrics.elidedText(word, Qt::ElideMiddle, lineWidth);
            shortened = true;
        }
        line = words.join(u' ');
    }
    if (shortened) {
        box.setText(lines.join(u'\n'));
        box.setDetailedText(text);
    }
    box.setStandardButtons(QMessageBox::Ok);
    // Some styles put an icon on the button too; the box shows none at all.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    // A box sized for "Successfully converted!" alone is narrower than its own
    // caption, which the window manager then cuts short. Title bars often use
    // a larger, bold font and keep room for an icon and three buttons.
    const int captionWidth = QFontMetrics(box.font()).horizontalAdvance(box.windowTitle());
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(captionWidth * 2 + 120, 0, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

void DesktopServices::showMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString(), QString(), QMessageBox::NoButton, parent_);
    prepareMessageBox(box, text);
    box.exec();
}

void DesktopServices::openPage(const QString& path) {
    // A relative URL means nothing to the desktop's opener; resolve it here,
    // against the working directory.
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

} // namespace orv
