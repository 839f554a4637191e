#pragma once

#include "convert/run_progress.h"
#include "io/byte_files.h"
#include "io/conversion_error.h"
#include "io/run_context.h"

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace orv {

// One writer of a document from the decoded text file, on a thread of its
// own from the start (while the run's thread does other work), or on the
// run's thread when waited for. Its output is finished but not published:
// the caller names the documents in the fixed order, and an earlier failure
// leaves this one's earlier output as it was.
class WriterThread {
public:
    using Writer = std::function<void(InputFile& decodedText, OutputFile& out)>;
    enum class Start { now, whenWaitedFor };

    // The output gets the mode of the calling thread's run.
    WriterThread(Writer writer, const OutputFile& decodedText, std::string outputPath,
                 RunProgress& progress, Start start);
    // Stops the writer if it is still going and removes its output. A
    // writer still waiting for more of the decoded text stops only once its
    // readers are released (OutputFile::releaseReaders).
    ~WriterThread();
    WriterThread(const WriterThread&) = delete;
    WriterThread& operator=(const WriterThread&) = delete;

    // Waits for the writer (or writes the document now), telling the front
    // end how far it is, and hands over the finished output, unnamed.
    // Rethrows its failure; memory running out is a failure of its output.
    std::unique_ptr<OutputFile> wait();
    const std::string& outputPath() const { return outputPath_; }

private:
    void run(mode_t outputMode, SourceIdentity source);
    void write();
    ConversionError outOfMemory() const;

    Writer writer_;
    InputFile text_;
    const std::string outputPath_;
    RunProgress& progress_;
    std::unique_ptr<OutputFile> out_;
    std::exception_ptr failure_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    std::thread thread_;
};

} // namespace orv
