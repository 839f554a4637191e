#include "app/form1.h"

#include "app/app_icon.h"
#include "app/click_label.h"
#include "app/dir_list.h"
#include "app/directory_listing.h"
#include "app/drive_list.h"
#include "app/file_list.h"
#include "app/shapes.h"
#include "app/window_services.h"
#include "convert/convert_document.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <cerrno>
#include <sys/stat.h>
#include <system_error>

namespace orv {

namespace {

// Layout is given in twips, 15 to a pixel, as the window was drawn.
QRect twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

template <typename Widget> Widget* place(Widget* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

QFont namedFont(const char* family, qreal points) {
    QFont font{QLatin1String(family)};
    font.setPointSizeF(points);
    return font;
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette colours = widget->palette();
    colours.setColor(QPalette::WindowText, colour);
    widget->setPalette(colours);
}

const QColor navy(0x00, 0x00, 0x80);
const QColor darkGrey(0x40, 0x40, 0x40);
const QString helpPage = QStringLiteral("docs/help.htm");

// One conversion run as the window lives it: the working controls take no
// input and the pointer shows busy until the closing message appears; the
// controls come back, with the focus where it was, when it has been dismissed.
class ConversionRun final : public FrontEnd {
public:
    ConversionRun(QWidget& controls, WindowServices& services)
        : controls_(controls), services_(services), focused_(controls.window()->focusWidget()) {
        controls_.setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~ConversionRun() override {
        endBusy();
        controls_.setEnabled(true);
        if (focused_)
            focused_->setFocus();
    }
    ConversionRun(const ConversionRun&) = delete;
    ConversionRun& operator=(const ConversionRun&) = delete;

    void reportSuccess(const std::string& message) override {
        endBusy();
        services_.reportSuccess(message);
    }
    void reportFailure(const std::string& description) override {
        endBusy();
        services_.reportFailure(description);
    }
    void openDocument(const std::string& path) override { services_.openDocument(path); }

private:
    void endBusy() {
        if (busy_)
            QApplication::restoreOverrideCursor();
        busy_ = false;
    }

    QWidget& controls_;
    WindowServices& services_;
    QPointer<QWidget> focused_;
    bool busy_ = true;
};

// The platform's reason when path cannot be looked at, or an empty string.
QString statFailure(const QString& path, bool& isFolder) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return describeFailure(path, std::error_code(errno, std::generic_category()));
    isFolder = S_ISDIR(info.st_mode);
    return {};
}

} // namespace

Form1::Form1(WindowServices& services, QWidget* parent) : QWidget(parent), services_(services) {
    setWindowTitle(QLatin1String(programCaption));
    setWindowIcon(programIcon());
    // Every control sits at a fixed place, so the window keeps its size.
    setFixedSize(456, 393);
    // The dialog font for controls without a named one: 8 pt of the Arial-metric
    // sans serif. The desktop's default (DejaVu Sans 9 pt on a bare Debian) is
    // too wide for the fixed control sizes and would clip the format captions.
    setFont(namedFont("Arial", 8));
    setAcceptDrops(true);

    buildBanner();
    buildFrame();
    orderFocus();

    drive1_->setRoots(mountedRoots());
    QString failure;
    if (!dir1_->setPath(QDir::currentPath(), failure))
        QTimer::singleShot(0, this, [this, failure] { services_.showMessage(failure); });
}

void Form1::buildBanner() {
    // Created first, so it lies under everything; wider than the window on purpose.
    place(new FilledShape(Qt::white, this), "Shape1", twips(0, 0, 7095, 1095));

    auto* image1 = place(new QLabel(this), "Image1", twips(360, 360, 480, 480));
    image1->setPixmap(logoPixmap(32));

    auto* label1 = place(new QLabel(QStringLiteral("ORV Converter 2.0"), this), "Label1",
                         twips(960, 360, 3975, 495));
    label1->setFont(namedFont("Arial", 18));

    auto* label3 =
        place(new QLabel(QStringLiteral("beta"), this), "Label3", twips(3720, 720, 975, 255));
    setTextColour(label3, Qt::red);

    auto* lblAuthor = place(new QLabel(QStringLiteral("by : ORV team"), this), "lblAuthor",
                            twips(5880, 600, 975, 255));
    lblAuthor->setFont(namedFont("Verdana", 6.75));
    setTextColour(lblAuthor, navy);
    lblAuthor->setToolTip(QStringLiteral("orv-team@example.org"));

    auto* lblWeb = place(new QLabel(QStringLiteral("orv.example.org"), this), "lblWeb",
                         twips(5640, 840, 1215, 255));
    QFont webFont = namedFont("Verdana", 6.75);
    webFont.setUnderline(true);
    lblWeb->setFont(webFont);
    setTextColour(lblWeb, Qt::blue);
    lblWeb->setCursor(Qt::PointingHandCursor);

    auto* lblSIntro =
        place(new QLabel(QStringLiteral("This converter changes files from ORV (Orvelle) "
                                        "document format to other formats."),
                         this),
              "lblSIntro", twips(120, 1200, 6375, 495));
    lblSIntro->setFont(namedFont("MS Sans Serif", 9.75));
    lblSIntro->setWordWrap(true);
    lblSIntro->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void Form1::buildFrame() {
    frame_ = place(new QGroupBox(this), "Frame", twips(120, 1800, 6615, 3975));
    frame_->setFocusPolicy(Qt::NoFocus);

    drive1_ = place(new DriveList(frame_), "Drive1", twips(360, 360, 2895, 315));
    drive1_->setFrame(false);
    dir1_ = place(new DirList(frame_), "Dir1", twips(360, 720, 2895, 1215));
    file1_ = place(new FileList(frame_), "File1", twips(360, 2040, 2895, 1785));
    for (QFrame* list : {static_cast<QFrame*>(dir1_), static_cast<QFrame*>(file1_)}) {
        list->setFrameStyle(QFrame::Box | QFrame::Plain);
        list->setLineWidth(1);
    }

    auto* label2 = place(new QLabel(QStringLiteral("Convert to format:"), frame_), "Label2",
                         twips(3840, 360, 1335, 135));
    label2->setFont(namedFont("Arial", 6.75));
    setTextColour(label2, darkGrey);

    place(new RoundedShape(frame_), "Shape2", twips(3720, 480, 2535, 1815));

    optFormatAccent_ = place(new QCheckBox(QStringLiteral("Accent   ( *.acc )"), frame_),
                             "optFormatAccent", twips(4200, 720, 1695, 255));
    optFormatRTF_ = place(new QCheckBox(QStringLiteral("RTF       ( *.rtf    )"), frame_),
                          "optFormatRTF", twips(4200, 1080, 1575, 255));
    optFormatText_ = place(new QCheckBox(QStringLiteral("Text       ( *.txt   )"), frame_),
                           "optFormatText", twips(4200, 1440, 1575, 255));

    auto* lblExplain = place(new QLabel(frame_), "lblExplain", twips(3840, 1800, 2295, 375));
    lblExplain->setFont(namedFont("Arial", 6.75));
    lblExplain->setAlignment(Qt::AlignCenter);
    setTextColour(lblExplain, Qt::red);

    chkOpenAfter_ = place(new QCheckBox(QStringLiteral("&Open converted files."), frame_),
                          "chkOpenAfter", twips(3960, 2520, 2175, 195));

    auto* command1 = place(new QPushButton(QStringLiteral("&Convert"), frame_), "Command1",
                           twips(4080, 3000, 1815, 375));
    // Not a default button: Enter and Esc leave it alone.
    command1->setAutoDefault(false);
    command1->setDefault(false);

    const QFont buttonFont = namedFont("Verdana", 8.25);
    auto* cmdHelp = place(new ClickLabel(QStringLiteral("&Help"), frame_), "cmdHelp",
                          twips(4080, 3480, 855, 255));
    auto* cmdExit = place(new ClickLabel(QStringLiteral("E&xit"), frame_), "cmdExit",
                          twips(5040, 3480, 855, 255));
    cmdHelp->setFont(buttonFont);
    cmdExit->setFont(buttonFont);

    connect(drive1_, &QComboBox::activated, this, &Form1::Drive1_Change);
    connect(dir1_, &DirList::pathChanged, this, &Form1::Dir1_Change);
    connect(dir1_, &DirList::openFailed, this,
            [this](const QString& description) { services_.showMessage(description); });
    connect(command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(cmdHelp, &ClickLabel::clicked, this, &Form1::cmdHelp_Click);
    connect(cmdExit, &ClickLabel::clicked, this, &Form1::cmdExit_Click);
}

void Form1::orderFocus() {
    const QList<QWidget*> chain = {
        chkOpenAfter_, optFormatText_,
        optFormatRTF_, optFormatAccent_,
        drive1_,       dir1_,
        file1_,        findChild<QPushButton*>(QStringLiteral("Command1"))};
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    chkOpenAfter_->setFocus();
}

void Form1::Drive1_Change() {
    QString failure;
    if (dir1_->setPath(drive1_->directoryOn(drive1_->drive()), failure))
        return;
    // Put the drive list back first, so all three lists agree while the message shows.
    drive1_->noteDirectory(dir1_->path());
    services_.showMessage(failure);
}

void Form1::Dir1_Change() {
    QString failure;
    if (!file1_->setPath(dir1_->path(), failure))
        services_.showMessage(failure);
    drive1_->noteDirectory(dir1_->path());
}

void Form1::Command1_Click() {
    const std::string folder = QFile::encodeName(file1_->path()).toStdString();
    const std::string name = QFile::encodeName(file1_->fileName()).toStdString();
    ConversionRun run(*frame_, services_);
    convertDocument(folder, name, optFormatAccent_->checkState() == Qt::Checked,
                    optFormatRTF_->checkState() == Qt::Checked,
                    optFormatText_->checkState() == Qt::Checked,
                    chkOpenAfter_->checkState() == Qt::Checked, run);
}

void Form1::cmdHelp_Click() {
    // The copy under the working directory comes first, as from the source
    // tree; a program started from the desktop menu runs in the home folder,
    // where only the installed copy can be found.
    services_.openPage(QFileInfo(helpPage).isFile() ? helpPage
                                                    : QStringLiteral(ORV_INSTALLED_HELP));
}

void Form1::cmdExit_Click() {
    QCoreApplication::quit();
}

void Form1::openFile(const QString& path) {
    bool isFolder = false;
    QString failure = statFailure(path, isFolder);
    const QFileInfo info(path);
    if (failure.isEmpty() &&
        dir1_->setPath(isFolder ? info.absoluteFilePath() : info.absolutePath(), failure)) {
        if (!isFolder)
            file1_->selectFile(info.fileName());
        return;
    }
    services_.showMessage(failure);
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile() && isSourceName(urls.first().toLocalFile()))
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    openFile(urls.first().toLocalFile());
}

} // namespace orv
