#include "app/form1.h"

#include "app/accessibility.h"
#include "app/app_icon.h"
#include "app/click_label.h"
#include "app/colours.h"
#include "app/conversion_runner.h"
#include "app/dir_list.h"
#include "app/directory_listing.h"
#include "app/drive_list.h"
#include "app/file_list.h"
#include "app/picture.h"
#include "app/shapes.h"
#include "app/window_services.h"
#include "convert/convert_document.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGroupBox>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QUrl>

#include <cmath>
#include <limits>

namespace orv {

namespace {

// Layout is given in twips, 15 to a pixel at the font the window was drawn
// for; layOut scales it to the desktop's font.
QRect twips(int left, int top, int width, int height) {
    return {left, top, width, height};
}
constexpr const char* twipsProperty = "orvTwips";
constexpr const char* pointsProperty = "orvPoints";
constexpr int clientWidth = 6840, clientHeight = 5895;

template <typename Widget> Widget* place(Widget* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QLatin1String(name));
    widget->setProperty(twipsProperty, geometry);
    return widget;
}

// A control's own font; its size grows with the desktop's font like the layout.
void setNamedFont(QWidget* widget, const char* family, qreal points, bool underline = false) {
    QFont font{QLatin1String(family)};
    font.setPointSizeF(points);
    font.setUnderline(underline);
    widget->setFont(font);
    widget->setProperty(pointsProperty, points);
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette colours = widget->palette();
    colours.setColor(QPalette::WindowText, colour);
    widget->setPalette(colours);
}

const QColor navy(0x00, 0x00, 0x80);
const QColor darkGrey(0x40, 0x40, 0x40);
const QColor bannerWhite(Qt::white);
const QString helpPage = QStringLiteral("docs/help.htm");

// "&Open converted files." as a screen reader should say it.
QString withoutAccessKey(QString caption) {
    return caption.remove(u'&');
}

// A dropped file's path with the bytes its URL carries: toLocalFile would
// decode them as UTF-8 and lose a Latin-1 name.
QByteArray localPath(const QUrl& url) {
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

} // namespace

Form1::Form1(WindowServices& services, QWidget* parent)
    : QWidget(parent), services_(services), runner_(new ConversionRunner(services, this)) {
    installAccessibility();
    setWindowTitle(QLatin1String(programCaption));
    setWindowIcon(programIcon());
    // Controls without a named font use the desktop's; the layout grows with
    // it (see layOut).
    setAcceptDrops(true);

    buildBanner();
    buildFrame();
    orderFocus();
    nameForAssistiveTechnology();
    layOut();
    applyColours();

    connect(runner_, &ConversionRunner::reporting, this, &Form1::endBusy);
    connect(runner_, &ConversionRunner::finished, this, &Form1::endRun);
    progressTick_ = new QTimer(this);
    progressTick_->setInterval(100);
    connect(progressTick_, &QTimer::timeout, this, &Form1::showProgress);

    // The shown folder is watched, so that documents added or removed
    // meanwhile appear and go on their own; a burst of changes (a copy, a
    // run's outputs) is read once it settles.
    watcher_ = new QFileSystemWatcher(this);
    settle_ = new QTimer(this);
    settle_->setSingleShot(true);
    settle_->setInterval(150);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, settle_, qOverload<>(&QTimer::start));
    connect(settle_, &QTimer::timeout, this, [this] {
        // Not under a running conversion: once it has ended.
        if (converting())
            return settle_->start();
        refreshLists();
    });
    // F5 reads everything again, as in file managers: a medium swapped under
    // the same mount point, say.
    auto* refresh = new QShortcut(QKeySequence::Refresh, this);
    connect(refresh, &QShortcut::activated, this, [this] {
        if (!converting())
            refreshLists();
    });

    QString failure;
    const QByteArray start = startFolder(failure);
    if (!failure.isEmpty())
        tell(failure);
    if (!dir1_->setPath(start, failure))
        tell(failure);
}

Form1::~Form1() {
    // Before the lists go: the run's last posted calls must find nothing to do.
    delete runner_;
}

void Form1::buildBanner() {
    // Created first, so it lies under everything; wider than the window on purpose.
    place(new FilledShape(bannerWhite, this), "Shape1", twips(0, 0, 7095, 1095));

    place(new Picture(this), "Image1", twips(360, 360, 480, 480));

    auto* label1 = place(new QLabel(QStringLiteral("ORV Converter 2.0"), this), "Label1",
                         twips(960, 360, 3975, 495));
    setNamedFont(label1, "Arial", 18);

    place(new QLabel(QStringLiteral("beta"), this), "Label3", twips(3720, 720, 975, 255));

    auto* lblAuthor = place(new QLabel(QStringLiteral("by : ORV team"), this), "lblAuthor",
                            twips(5880, 600, 975, 255));
    setNamedFont(lblAuthor, "Verdana", 6.75);
    lblAuthor->setToolTip(QStringLiteral("orv-team@example.org"));

    auto* lblWeb = place(new QLabel(QStringLiteral("orv.example.org"), this), "lblWeb",
                         twips(5640, 840, 1215, 255));
    setNamedFont(lblWeb, "Verdana", 6.75, true);
    lblWeb->setCursor(Qt::PointingHandCursor);

    auto* lblSIntro =
        place(new QLabel(QStringLiteral("This converter changes files from ORV (Orvelle) "
                                        "document format to other formats."),
                         this),
              "lblSIntro", twips(120, 1200, 6375, 495));
    setNamedFont(lblSIntro, "MS Sans Serif", 9.75);
    lblSIntro->setWordWrap(true);
    lblSIntro->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void Form1::buildFrame() {
    frame_ = place(new QGroupBox(this), "Frame", twips(120, 1800, 6615, 3975));
    frame_->setFocusPolicy(Qt::NoFocus);

    drive1_ = place(new DriveList(frame_), "Drive1", twips(360, 360, 2895, 315));
    dir1_ = place(new DirList(frame_), "Dir1", twips(360, 720, 2895, 1215));
    file1_ = place(new FileList(frame_), "File1", twips(360, 2040, 2895, 1785));
    for (QFrame* list : {static_cast<QFrame*>(dir1_), static_cast<QFrame*>(file1_)}) {
        list->setFrameStyle(QFrame::Box | QFrame::Plain);
        list->setLineWidth(1);
    }

    label2_ = place(new QLabel(QStringLiteral("Convert to format:"), frame_), "Label2",
                    twips(3840, 360, 1335, 135));
    setNamedFont(label2_, "Arial", 6.75);

    place(new RoundedShape(frame_), "Shape2", twips(3720, 480, 2535, 1815));

    optFormatAccent_ = place(new QCheckBox(QStringLiteral("Accent   ( *.acc )"), frame_),
                             "optFormatAccent", twips(4200, 720, 1695, 255));
    optFormatRTF_ = place(new QCheckBox(QStringLiteral("RTF       ( *.rtf    )"), frame_),
                          "optFormatRTF", twips(4200, 1080, 1575, 255));
    optFormatText_ = place(new QCheckBox(QStringLiteral("Text       ( *.txt   )"), frame_),
                           "optFormatText", twips(4200, 1440, 1575, 255));

    lblExplain_ = place(new QLabel(frame_), "lblExplain", twips(3840, 1800, 2295, 375));
    setNamedFont(lblExplain_, "Arial", 6.75);
    lblExplain_->setAlignment(Qt::AlignCenter);

    // One step below Text, inside Shape2. Made after lblExplain, which is
    // never written but lies across it: the box stays on top and takes the
    // clicks.
    optFormatUnicode_ = place(new QCheckBox(QStringLiteral("&Unicode text"), frame_),
                              "optFormatUnicode", twips(4200, 1800, 1575, 255));

    // A long run's progress shows over Convert, which takes no input during
    // the run, so that no box is hidden. On the window, not in the frame: the
    // frame is disabled during a run.
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setRange(0, 1000);
    progress_->hide();

    chkOpenAfter_ = place(new QCheckBox(QStringLiteral("&Open converted files."), frame_),
                          "chkOpenAfter", twips(3960, 2520, 2175, 195));

    auto* command1 = place(new QPushButton(QStringLiteral("&Convert"), frame_), "Command1",
                           twips(4080, 3000, 1815, 375));
    // Not a default button: Enter and Esc leave it alone.
    command1->setAutoDefault(false);
    command1->setDefault(false);

    auto* cmdHelp = place(new ClickLabel(QStringLiteral("&Help"), frame_), "cmdHelp",
                          twips(4080, 3480, 855, 255));
    auto* cmdExit = place(new ClickLabel(QStringLiteral("E&xit"), frame_), "cmdExit",
                          twips(5040, 3480, 855, 255));
    setNamedFont(cmdHelp, "Verdana", 8.25);
    setNamedFont(cmdExit, "Verdana", 8.25);

    connect(drive1_, &QComboBox::activated, this, &Form1::Drive1_Change);
    connect(dir1_, &DirList::pathChanged, this, &Form1::Dir1_Change);
    connect(dir1_, &DirList::openFailed, this,
            [this](const QString& description) { services_.showMessage(description); });
    connect(command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(cmdHelp, &ClickLabel::clicked, this, &Form1::cmdHelp_Click);
    connect(cmdExit, &ClickLabel::clicked, this, &Form1::cmdExit_Click);
}

void Form1::orderFocus() {
    const QList<QWidget*> chain = {chkOpenAfter_,
                                   optFormatUnicode_,
                                   optFormatText_,
                                   optFormatRTF_,
                                   optFormatAccent_,
                                   drive1_,
                                   dir1_,
                                   file1_,
                                   findChild<QPushButton*>(QStringLiteral("Command1"))};
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    chkOpenAfter_->setFocus();
}

void Form1::nameForAssistiveTechnology() {
    for (QLabel* label : findChildren<QLabel*>())
        label->setAccessibleName(withoutAccessKey(label->text()));
    for (QAbstractButton* button : findChildren<QAbstractButton*>())
        button->setAccessibleName(withoutAccessKey(button->text()));
    // What has no caption is named for what it holds; the drive list's text
    // changes with every pick, so it is not its name.
    findChild<QWidget*>(QStringLiteral("Image1"))
        ->setAccessibleName(QStringLiteral("ORV Converter logo"));
    drive1_->setAccessibleName(QStringLiteral("Drive"));
    dir1_->setAccessibleName(QStringLiteral("Folders"));
    file1_->setAccessibleName(QStringLiteral("ORV documents"));
    frame_->setAccessibleName(QStringLiteral("Conversion"));
    progress_->setAccessibleName(QStringLiteral("Conversion progress"));
}

double Form1::scale() const {
    // The layout was drawn for 8 pt text of the Arial-metric sans serif; a
    // larger desktop font (or a wider one) grows every place and every named
    // font in proportion. A smaller one keeps the drawn size.
    const QFontMetricsF drawn(QFont(QStringLiteral("Arial"), 8), this);
    const QFontMetricsF desktop(QApplication::font(this), this);
    return std::max({1.0, desktop.height() / drawn.height(),
                     desktop.averageCharWidth() / drawn.averageCharWidth()});
}

void Form1::layOut() {
    const double factor = scale();
    const auto scaled = [factor](int twips) { return int(std::lround(twips * factor / 15)); };
    setFixedSize(scaled(clientWidth), scaled(clientHeight));
    // Children first by their parents: the frame's size mirrors its controls.
    QList<QWidget*> placed = {this};
    for (qsizetype i = 0; i < placed.size(); ++i) {
        for (QObject* child : placed[i]->children()) {
            auto* control = qobject_cast<QWidget*>(child);
            if (control == nullptr || !control->property(twipsProperty).isValid())
                continue;
            const QRect t = control->property(twipsProperty).toRect();
            const QRect place(scaled(t.left()), scaled(t.top()), scaled(t.width()),
                              scaled(t.height()));
            // Right to left, the whole window is mirrored, not only each
            // control's contents.
            control->setGeometry(QStyle::visualRect(layoutDirection(), placed[i]->rect(), place));
            if (const QVariant points = control->property(pointsProperty); points.isValid()) {
                QFont font = control->font();
                font.setPointSizeF(points.toDouble() * factor);
                control->setFont(font);
            }
            placed.append(control);
        }
    }
    fitControlsToContent();
    fitWrappedText();
    progress_->setGeometry(
        findChild<QWidget*>(QStringLiteral("Command1"))->geometry().translated(frame_->pos()));
}

void Form1::fitControlsToContent() {
    // The layout's heights were drawn for another system's fonts and check
    // boxes; where the style needs more, a control grows about its middle
    // rather than clip its caption or its box.
    for (QWidget* control : findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractButton*>(control) == nullptr &&
            qobject_cast<QLabel*>(control) == nullptr)
            continue;
        const QSize wanted = control->sizeHint();
        QRect place = control->geometry();
        if (control->hasHeightForWidth() || !wanted.isValid())
            continue;
        if (wanted.height() > place.height())
            place.adjust(0, -(wanted.height() - place.height()) / 2, 0,
                         (wanted.height() - place.height() + 1) / 2);
        if (wanted.width() > place.width() && layoutDirection() == Qt::RightToLeft)
            place.setLeft(place.right() + 1 - wanted.width());
        else if (wanted.width() > place.width())
            place.setWidth(wanted.width());
        control->setGeometry(place);
    }
}

void Form1::fitWrappedText() {
    // A desktop's substitute for a named font may set the intro's lines wider
    // or further apart than the font it was drawn for, and wrap it onto one
    // more line than its box holds: the box then takes the height its lines
    // need rather than cut the text off.
    for (QLabel* label : findChildren<QLabel*>()) {
        if (!label->wordWrap() || !label->property(twipsProperty).isValid())
            continue;
        if (const int needed = label->heightForWidth(label->width()); needed > label->height())
            growDown(label, needed - label->height());
    }
}

void Form1::growDown(QWidget* control, int extra) {
    // The free room between the control and what lies below it is taken
    // first; only what it lacks moves everything lower down, and grows the
    // parent, by as much. So the look stays as drawn wherever the text fits
    // the room it has. The parent's margin below its last control is kept.
    QWidget* parent = control->parentWidget();
    const int bottom = control->y() + control->height();
    control->resize(control->width(), control->height() + extra);
    QList<QWidget*> below;
    int room = std::numeric_limits<int>::max();
    for (QObject* child : parent->children()) {
        auto* sibling = qobject_cast<QWidget*>(child);
        if (sibling == nullptr || sibling == control ||
            !sibling->property(twipsProperty).isValid() || sibling->y() < bottom)
            continue;
        below.append(sibling);
        room = std::min(room, sibling->y() - bottom);
    }
    const int push = below.isEmpty() ? extra : extra - room;
    if (push <= 0)
        return;
    for (QWidget* sibling : below)
        sibling->move(sibling->x(), sibling->y() + push);
    if (parent == this)
        setFixedSize(width(), height() + push);
    else
        growDown(parent, push);
}

void Form1::applyColours() {
    // The banner is white whatever the desktop's colours, so its captions have
    // colours of their own, kept dark enough to read on white. In the frame
    // the named colours stay where they read well on the frame's colour and
    // move towards black or white where they would not.
    const auto colour = [this](const char* name, const QColor& wanted, const QColor& background) {
        setTextColour(findChild<QWidget*>(QLatin1String(name)), legibleOn(wanted, background));
    };
    colour("Label1", Qt::black, bannerWhite);
    colour("Label3", Qt::red, bannerWhite);
    colour("lblAuthor", navy, bannerWhite);
    colour("lblWeb", Qt::blue, bannerWhite);
    // In the frame, against what the style really draws there: Fusion, for
    // one, tints a group box's inside.
    colour("Label2", darkGrey, groundUnder(label2_));
    colour("lblExplain", Qt::red, groundUnder(lblExplain_));
}

QColor Form1::groundUnder(QWidget* control) const {
    QWidget* under = control->parentWidget();
    QImage drawn(under->size(), QImage::Format_RGB32);
    drawn.fill(palette().color(QPalette::Window));
    under->render(&drawn, {}, {}, QWidget::DrawWindowBackground);
    QHash<QRgb, int> seen;
    const QRect place = control->geometry() & drawn.rect();
    for (int y = place.top(); y <= place.bottom(); ++y)
        for (int x = place.left(); x <= place.right(); ++x)
            ++seen[drawn.pixel(x, y)];
    QRgb commonest = palette().color(QPalette::Window).rgb();
    for (auto it = seen.cbegin(); it != seen.cend(); ++it)
        if (it.value() > seen.value(commonest))
            commonest = it.key();
    return QColor(commonest);
}

bool Form1::event(QEvent* event) {
    if (event->type() == QEvent::Paint && !onScreen_) {
        onScreen_ = true;
        // After this paint has reached the screen.
        QTimer::singleShot(0, this, &Form1::showPending);
    }
    return QWidget::event(event);
}

void Form1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ApplicationFontChange || event->type() == QEvent::FontChange ||
        event->type() == QEvent::LayoutDirectionChange)
        layOut();
    // Once the change has gone round every control, so that the frame draws
    // in the new colours.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        QMetaObject::invokeMethod(this, &Form1::applyColours, Qt::QueuedConnection);
    QWidget::changeEvent(event);
}

void Form1::tell(const QString& text) {
    if (onScreen_)
        return services_.showMessage(text);
    pendingMessages_.append(text);
}

void Form1::showPending() {
    for (const QString& text : std::exchange(pendingMessages_, {}))
        services_.showMessage(text);
    if (!pendingFile_.isEmpty())
        openFile(std::exchange(pendingFile_, {}));
}

void Form1::openFileWhenShown(const QByteArray& path) {
    if (onScreen_)
        return openFile(path);
    pendingFile_ = path;
}

void Form1::Drive1_Change() {
    const QByteArray root = drive1_->drive();
    QString failure;
    if (dir1_->setPath(drive1_->directoryOn(root), failure))
        return;
    // The folder remembered on the drive is gone (the drive was mounted
    // again, say): the drive's root is the next best place.
    if (drive1_->directoryOn(root) != root) {
        drive1_->forgetDirectory(root);
        if (dir1_->setPath(root, failure))
            return;
    }
    // Put the drive list back first, so all three lists agree while the message shows.
    drive1_->noteDirectory(dir1_->path());
    services_.showMessage(failure);
}

void Form1::Dir1_Change() {
    QString failure;
    const bool listed = file1_->setPath(dir1_->path(), failure);
    drive1_->noteDirectory(dir1_->path());
    watchShownFolder();
    if (!listed)
        services_.showMessage(failure);
}

void Form1::watchShownFolder() {
    if (const QStringList watched = watcher_->directories(); !watched.isEmpty())
        watcher_->removePaths(watched);
    // Unwatched, the lists still follow F5 and every opening of a folder.
    watchFolder(*watcher_, dir1_->path());
}

void Form1::refreshLists() {
    drive1_->refreshRoots();
    QString failure;
    if (dir1_->refresh(failure)) {
        drive1_->noteDirectory(dir1_->path());
        watchShownFolder();
        if (!file1_->refresh(failure))
            services_.showMessage(failure);
        return;
    }
    // The folder is gone (removed, or its medium taken out): the nearest
    // folder above it that can be read is shown, and the user is told why.
    QByteArray above = dir1_->path();
    QString ignored;
    do
        above = above.left(std::max<qsizetype>(above.lastIndexOf('/'), 1));
    while (!dir1_->setPath(above, ignored) && above != "/");
    services_.showMessage(failure);
}

bool Form1::converting() const {
    return runner_->running();
}

ConversionJob Form1::chosenJob() const {
    ConversionJob job;
    job.source = job.outputBase =
        sourcePath(file1_->path().toStdString(), file1_->fileName().toStdString());
    // Grayed counts as clear: only a ticked box selects.
    job.accent = optFormatAccent_->checkState() == Qt::Checked;
    job.rtf = optFormatRTF_->checkState() == Qt::Checked;
    job.text = optFormatText_->checkState() == Qt::Checked;
    job.unicodeText = optFormatUnicode_->checkState() == Qt::Checked;
    job.openAfter = chkOpenAfter_->checkState() == Qt::Checked;
    return job;
}

void Form1::Command1_Click() {
    if (converting())
        return;
    const ConversionJob job = chosenJob();
    beginRun();
    runner_->start(job);
}

// A run as the window lives it: the working controls take no input and the
// pointer shows busy until the closing message appears; the controls come
// back, with the focus where it was, when it has been dismissed.
void Form1::beginRun() {
    focused_ = focusWidget();
    frame_->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    busy_ = true;
    runClock_.start();
    progressTick_->start();
}

void Form1::showProgress() {
    const std::uint64_t total = runner_->total();
    if (runClock_.elapsed() < progressDelay_ || total == 0)
        return;
    // The total counts every pass over the text, not the source's size alone,
    // so the bar shows the share of the work done rather than a byte count.
    progress_->setValue(int(std::min(runner_->done(), total) * 1000 / total));
    progress_->show();
}

void Form1::endBusy() {
    progressTick_->stop();
    progress_->hide();
    if (busy_)
        QApplication::restoreOverrideCursor();
    busy_ = false;
}

void Form1::endRun() {
    endBusy();
    frame_->setEnabled(true);
    if (focused_)
        focused_->setFocus();
}

void Form1::closeEvent(QCloseEvent* event) {
    // Closing the window during a run cancels the run: the outputs of earlier
    // runs stay exactly as they were.
    runner_->cancel();
    event->accept();
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

void Form1::openFile(const QByteArray& path) {
    bool isFolder = false;
    QString failure;
    if (!lookAt(path, isFolder, failure))
        return services_.showMessage(failure);
    const QByteArray full = cleanAbsolutePath(path);
    const qsizetype slash = full.lastIndexOf('/');
    const QByteArray name = full.mid(slash + 1);
    if (!isFolder && !isSourceName(name))
        return services_.showMessage(tr("%1: Not an ORV document (*.ORV)").arg(displayName(path)));
    if (!dir1_->setPath(isFolder ? full : full.left(std::max<qsizetype>(slash, 1)), failure))
        return services_.showMessage(failure);
    if (!isFolder)
        file1_->selectFile(name);
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!converting() && urls.size() == 1 && urls.first().isLocalFile() &&
        isSourceName(localPath(urls.first())))
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (converting() || urls.size() != 1 || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    openFile(localPath(urls.first()));
}

} // namespace orv
