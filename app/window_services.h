#pragma once

#include "convert/front_end.h"

#include <QByteArray>
#include <QString>

class QMessageBox;
class QUrl;
class QWidget;

namespace orv {

// The caption of the window and of every message box it shows.
inline constexpr const char* programCaption = "ORV Converter 2";

// Everything the window needs from the desktop: besides what a conversion
// reports, a message box for failed navigation and a way to open the help
// page. Tests put a recording fake in its place, so no real box ever shows.
class WindowServices : public FrontEnd {
public:
    // A conversion's closing message, its names shown as the lists show them.
    void reportSuccess(const std::string& message) final;
    void reportFailure(const std::string& description) final;
    // Something to know of a kept output, in a box of its own before the
    // closing message: the closing message stays as it is.
    void reportWarning(const std::string& message) final;
    // Returns once the user has dismissed the message.
    virtual void showMessage(const QString& text) = 0;
    // The outcome is ignored, as for opening a converted document.
    virtual void openPage(const QString& path) = 0;
};

// A file: URL for absolutePath that keeps its bytes, percent-encoded.
QUrl fileUrl(const QByteArray& absolutePath);

// Caption, text as plain text, one OK button, no icon, and wide enough for
// the caption to show whole in the title bar. A word too wide for the screen
// (a long path) is shortened in its middle, so that its end, where the
// failing file's name is, stays in view; the whole text is then under
// "Show Details...".
void prepareMessageBox(QMessageBox& box, const QString& text);

// The real desktop: QMessageBox and QDesktopServices.
class DesktopServices final : public WindowServices {
public:
    // Message boxes are centred on and modal to this window.
    void setDialogParent(QWidget* parent) { parent_ = parent; }

    void openDocument(const std::string& path) override;
    void showMessage(const QString& text) override;
    void openPage(const QString& path) override;

private:
    QWidget* parent_ = nullptr;
};

} // namespace orv
