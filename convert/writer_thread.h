#pragma once

#include "convert/run_progress.h"
#include "io/byte_files.h"
#include "io/run_context.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace orv {

// One writer of a document from the decoded text file, on a thread of its
// own from the start (while the run's thread does other work), or on the
// run's thread when published. Its output is finished but not published
// until the caller says so, so the documents still take their names in the
// fixed order, and an earlier failure leaves this one's earlier output as
// it was.
class WriterThread {
public:
    using Writer = void (*)(InputFile& decodedText, OutputFile& out);
    enum class Start { now, whenPublished };

    // The output gets the mode of the calling thread's run.
    // outputPath must outlive the writer.
    WriterThread(Writer writer, const OutputFile& decodedText, const std::string& outputPath,
                 RunProgress& progress, Start start);
    // Stops the writer if it is still going and removes an output not published.
    ~WriterThread();
    WriterThread(const WriterThread&) = delete;
    WriterThread& operator=(const WriterThread&) = delete;

    // Waits for the writer (or writes the document now), telling the front
    // end how far it is; rethrows its failure, then gives the output its name.
    void publish();
    // wait() and publish() are the two steps of publish(): after wait(),
    // the output is finished, and takeOutput() hands it over unnamed.
    void wait();
    std::unique_ptr<OutputFile> takeOutput() { return std::move(out_); }

private:
    void run(mode_t outputMode, SourceIdentity source);

    Writer writer_;
    InputFile text_;
    const std::string& outputPath_;
    RunProgress& progress_;
    std::unique_ptr<OutputFile> out_;
    std::exception_ptr failure_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    std::thread thread_;
};

} // namespace orv
