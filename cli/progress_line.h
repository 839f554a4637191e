#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

namespace orv::cli {

// Sizes and times as a person reads them: "3.1 MiB", "1:07".
std::string humanBytes(std::uint64_t bytes);
std::string humanDuration(double seconds);

// Writes text to stream and flushes it; false when it could not be written.
// A pipe whose reader has gone fails with EPIPE here rather than ending the
// process with SIGPIPE: messages are not worth the batch.
bool writeSurvivingPipe(std::FILE* stream, const std::string& text);

// The one line on a terminal that shows how far a batch is: files done out
// of all, bytes, rate and time left; while the sources are still coming
// (a list being read), files done out of those so far, and no time left. It is redrawn in place at
// most a few times a second, lines printed through it appear whole above it, and finish() clears
// it. It is cleared with ESC [ K only on a terminal whose TERM names one that understands it, with
// spaces on any other; off a terminal each drawing is a plain line, at most one a second. When not
// shown, lines go straight to the stream and nothing else is written. Safe
// to call from several threads.
class ProgressLine {
public:
    // listOpen: more sources are to come (addSource), until listEnded().
    ProgressLine(std::FILE* stream, bool shown, std::size_t files, std::uint64_t bytes,
                 bool listOpen = false);

    // One more source of bytes (0 when not known).
    void addSource(std::uint64_t bytes);
    void listEnded();
    std::size_t files() const { return files_; }

    void addBytes(std::uint64_t bytes);
    void fileDone();
    // Prints line and a line end on a line of its own.
    void printLine(const std::string& line);
    // Runs write, which puts something on the same terminal by another way
    // (the report on standard output), with the line out of its way. write
    // must not call back into the line.
    void aside(const std::function<void()>& write);
    // Clears the line; then, when shown, prints summary (if not empty).
    void finish(const std::string& summary);

    bool shown() const { return shown_; }
    // True once something could not be written to the stream (a closed
    // pipe, a full disk): the batch goes on, but must not end as a success.
    bool lost() const { return lost_; }
    double elapsedSeconds() const;

private:
    enum class Style { escapes, carriageReturn, lines };
    std::chrono::steady_clock::duration interval() const;
    std::string clearedLocked();
    void redrawAfterLocked();
    void drawLocked(bool force);
    void putLocked(const std::string& text);
    std::chrono::steady_clock::duration sinceLastDraw() const;
    std::string text() const;

    std::FILE* stream_;
    bool shown_;
    Style style_ = Style::lines;
    std::size_t drawnWidth_ = 0; // of the line on the terminal, 0 when cleared
    std::atomic<std::size_t> files_;
    std::atomic<std::uint64_t> bytes_;
    std::atomic<bool> listOpen_;
    std::atomic<std::size_t> filesDone_{0};
    std::atomic<std::uint64_t> bytesDone_{0};
    std::chrono::steady_clock::time_point start_;
    // Read without the lock, to skip a redraw cheaply.
    std::atomic<std::chrono::steady_clock::rep> lastDraw_;
    std::atomic<bool> lost_{false};
    std::mutex mutex_;
};

} // namespace orv::cli
