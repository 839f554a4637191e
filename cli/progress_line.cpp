#include "cli/progress_line.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <pthread.h>
#include <string_view>
#include <sys/ioctl.h>
#include <unistd.h>

namespace orv::cli {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto redrawInterval = std::chrono::milliseconds(100);
// Off a terminal every drawing is a line of its own: fewer of them.
constexpr auto lineInterval = std::chrono::seconds(1);
constexpr const char* clearToEnd = "\033[K";

// A terminal that is not known to understand ESC [ K: none named, or one
// named "dumb" (the editors' shells, some consoles).
bool escapesUnderstood() {
    const char* term = std::getenv("TERM");
    return term != nullptr && *term != '\0' && std::string_view(term) != "dumb";
}

std::size_t terminalWidth(std::FILE* stream) {
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace

bool writeSurvivingPipe(std::FILE* stream, const std::string& text) {
    // SIGPIPE for a write is sent to the thread that writes: blocked here,
    // the write fails with EPIPE instead, and the signal it left pending is
    // taken back before it is unblocked.
    sigset_t pipeSignal, previous, pending;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    const bool pendingBefore = ::sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
    const bool written =
        std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0;
    if (!written && errno == EPIPE && !pendingBefore) {
        const timespec noWait{};
        while (::sigtimedwait(&pipeSignal, nullptr, &noWait) < 0 && errno == EINTR) {
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (!written)
        std::clearerr(stream);
    return written;
}

std::string humanBytes(std::uint64_t bytes) {
    static constexpr const char* units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    if (bytes < 1024)
        return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::string humanDuration(double seconds) {
    const long whole = static_cast<long>(seconds + 0.5);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

ProgressLine::ProgressLine(std::FILE* stream, bool shown, std::size_t files, std::uint64_t bytes,
                           bool listOpen)
    : stream_(stream), shown_(shown), files_(files), bytes_(bytes), listOpen_(listOpen),
      start_(Clock::now()), lastDraw_(start_.time_since_epoch().count()) {
    if (::isatty(::fileno(stream)) == 1)
        style_ = escapesUnderstood() ? Style::escapes : Style::carriageReturn;
    if (shown_) {
        std::lock_guard lock(mutex_);
        drawLocked(true);
    }
}

Clock::duration ProgressLine::sinceLastDraw() const {
    return Clock::now() - Clock::time_point(Clock::duration(lastDraw_.load()));
}

double ProgressLine::elapsedSeconds() const {
    return std::chrono::duration<double>(Clock::now() - start_).count();
}

void ProgressLine::addSource(std::uint64_t bytes) {
    bytes_ += bytes;
    ++files_;
}

void ProgressLine::listEnded() {
    listOpen_ = false;
    // The line now counts out of all: drawn at once, even off a terminal.
    if (shown_) {
        std::lock_guard lock(mutex_);
        drawLocked(true);
    }
}

void ProgressLine::addBytes(std::uint64_t bytes) {
    bytesDone_ += bytes;
    // A busy line is skipped rather than waited for: the next call draws it.
    if (shown_ && sinceLastDraw() >= interval()) {
        std::unique_lock lock(mutex_, std::try_to_lock);
        if (lock.owns_lock())
            drawLocked(false);
    }
}

void ProgressLine::fileDone() {
    ++filesDone_;
    if (shown_) {
        std::lock_guard lock(mutex_);
        drawLocked(false);
    }
}

void ProgressLine::printLine(const std::string& line) {
    std::lock_guard lock(mutex_);
    // One write per line, so that a line is never split by another writer.
    putLocked(clearedLocked() + line + "\n");
    redrawAfterLocked();
}

void ProgressLine::aside(const std::function<void()>& write) {
    std::lock_guard lock(mutex_);
    if (const std::string clear = clearedLocked(); !clear.empty())
        putLocked(clear);
    write();
    redrawAfterLocked();
}

std::chrono::steady_clock::duration ProgressLine::interval() const {
    return style_ == Style::lines ? Clock::duration(lineInterval) : Clock::duration(redrawInterval);
}

std::string ProgressLine::clearedLocked() {
    if (!shown_ || style_ == Style::lines || drawnWidth_ == 0)
        return "";
    const std::size_t width = drawnWidth_;
    drawnWidth_ = 0;
    if (style_ == Style::escapes)
        return "\r\033[K";
    std::string clear(width + 2, ' ');
    clear.front() = clear.back() = '\r';
    return clear;
}

void ProgressLine::redrawAfterLocked() {
    // A line of its own is not repeated for a message: it still stands above it.
    if (shown_ && style_ != Style::lines)
        drawLocked(true);
}

void ProgressLine::putLocked(const std::string& text) {
    if (!lost_ && !writeSurvivingPipe(stream_, text))
        lost_ = true;
}

void ProgressLine::finish(const std::string& summary) {
    if (!shown_)
        return;
    std::lock_guard lock(mutex_);
    putLocked(clearedLocked() + (summary.empty() ? "" : summary + "\n"));
}

std::string ProgressLine::text() const {
    const std::uint64_t done = bytesDone_, bytes = bytes_;
    const bool open = listOpen_;
    const double seconds = elapsedSeconds();
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    std::string line = std::to_string(filesDone_.load());
    line.append("/").append(std::to_string(files_)).append(open ? " files so far, " : " files, ");
    line.append(humanBytes(done)).append(" of ").append(humanBytes(bytes));
    if (rate > 0 && done > 0) {
        line.append(", ").append(humanBytes(static_cast<std::uint64_t>(rate))).append("/s");
        // Until the list has ended, what is left is not known.
        if (bytes > done && !open)
            line.append(", ")
                .append(humanDuration(static_cast<double>(bytes - done) / rate))
                .append(" left");
    }
    return line;
}

void ProgressLine::drawLocked(bool force) {
    if (!force && sinceLastDraw() < interval())
        return;
    lastDraw_ = Clock::now().time_since_epoch().count();
    std::string line = text();
    if (style_ == Style::lines)
        return putLocked(line + "\n");
    // A line wider than the terminal would wrap, and \r would then redraw
    // only its last part.
    const std::size_t width = terminalWidth(stream_);
    if (line.size() >= width)
        line.resize(width - 1);
    const std::size_t shorter = drawnWidth_ > line.size() ? drawnWidth_ - line.size() : 0;
    drawnWidth_ = line.size();
    // Without ESC [ K, spaces cover what a longer drawing left.
    if (style_ == Style::escapes)
        putLocked("\r" + line + clearToEnd);
    else
        putLocked("\r" + line + std::string(shorter, ' '));
}

} // namespace orv::cli
