#include "convert/convert_document.h"

#include "convert/run_progress.h"
#include "convert/writer_thread.h"
#include "decode/source_decoder.h"
#include "io/byte_files.h"
#include "io/conversion_error.h"
#include "io/run_context.h"
#include "writers/accent_writer.h"
#include "writers/rtf_writer.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <optional>

namespace orv {
namespace {

// Below a block, threads cost more than writing the documents one after the
// other.
constexpr std::uint64_t parallelWritersFrom = ioBlockSize;

// Leaving the writers' scope before the text is finished (a failure, a
// cancel) wakes the writers waiting for more of it, so that they stop.
class ReadersReleased {
public:
    explicit ReadersReleased(OutputFile& text) : text_(text) {}
    ~ReadersReleased() { text_.releaseReaders(); }
    ReadersReleased(const ReadersReleased&) = delete;
    ReadersReleased& operator=(const ReadersReleased&) = delete;

private:
    OutputFile& text_;
};

void noteFailure(ConversionOutcome& outcome, const ConversionError& failure) {
    outcome.error = failure.what();
    outcome.errorPath = failure.path();
    outcome.errorReason = failure.reason();
}

} // namespace

bool isOrvDocumentName(std::string_view name) {
    static constexpr std::string_view extension = ".orv";
    if (name.size() < extension.size())
        return false;
    const std::string_view tail = name.substr(name.size() - extension.size());
    return std::equal(tail.begin(), tail.end(), extension.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

std::string sourcePath(const std::string& folder, const std::string& name) {
    return folder + "/" + name;
}

OutputPaths outputPaths(const std::string& outputBase) {
    return {outputBase + ".txt", outputBase + ".acc", outputBase + ".rtf"};
}

ConversionOutcome runConversion(const ConversionJob& job, FrontEnd& frontEnd) {
    const auto [textPath, accentPath, rtfPath] = outputPaths(job.outputBase);
    ConversionOutcome outcome;
    outcome.outputs.reserve(3);
    // The private intermediate: a hidden file beside the outputs that the
    // writers read back, and that becomes the text output only at the end.
    std::optional<OutputFile> text;
    bool textComplete = false;
    const std::string* step = &job.source; // the file being written, named if memory runs out
    try {
        InputFile source(job.source);
        outcome.sourceBytes = source.size();
        RunProgress progress(frontEnd, source.size(), 1 + int{job.accent} + int{job.rtf});
        const ScopedRunContext context({newFileMode(source.permissions()),
                                        [&](std::size_t n) { progress.advance(n); },
                                        {true, source.group(), source.permissions()}});
        step = &textPath;
        text.emplace(textPath, OutputFile::Visibility::privateUntilPublished);
        // From a block on, the documents are written while the text is
        // decoded, each writer on a thread of its own reading the text as it
        // grows; below that, one after the other once it is complete. Either
        // way they take their names in the fixed order once the text is
        // complete, so what remains after a failure is what the steps one
        // after the other would leave: a failed decode leaves no document,
        // and the Accent document's failure is the one told.
        const auto start = source.size() >= parallelWritersFrom
                               ? WriterThread::Start::now
                               : WriterThread::Start::whenPublished;
        std::optional<WriterThread> accent, rtf;
        if (job.accent)
            accent.emplace(WriterThread::Writer{writeAccentDocument}, *text, accentPath, progress,
                           start);
        if (job.rtf)
            rtf.emplace(WriterThread::Writer{writeRtfDocument}, *text, rtfPath, progress, start);
        const ReadersReleased released(*text);
        decodeSourceToTextFile(source, *text);
        source.close();
        text->finish();
        textComplete = true;
        if (accent) {
            step = &accentPath;
            accent->publish();
            outcome.outputs.push_back(accentPath);
        }
        if (rtf) {
            step = &rtfPath;
            rtf->publish();
            outcome.outputs.push_back(rtfPath);
        }
        step = &textPath;
        if (job.text) {
            text->publish();
            outcome.outputs.push_back(textPath);
        } else {
            // An earlier run's text output goes too: it no longer matches the outputs.
            removeIfPresent(textPath);
            text->discard();
        }
        progress.finish();
    } catch (const ConversionError& failure) {
        // The intermediate's hidden name means nothing to the user.
        if (text && failure.path() == text->temporaryPath())
            noteFailure(outcome, ConversionError(textPath, failure.reason()));
        else
            noteFailure(outcome, failure);
    } catch (const std::bad_alloc&) {
        // A document too large for memory is a failure like any other, not a crash.
        noteFailure(outcome, ConversionError(*step, ENOMEM));
    } catch (const ConversionCancelled&) {
        outcome.status = ConversionOutcome::Status::Cancelled;
        return outcome; // the hidden files go with their owners
    }
    if (!outcome.error.empty()) {
        // A later step failed: the decoded text stays, as the text output.
        // Should that fail too, the first failure is the one to report.
        if (textComplete && text->pending()) {
            try {
                text->publish();
                outcome.outputs.push_back(textPath);
            } catch (const ConversionError&) {
            }
        }
        frontEnd.reportFailure(outcome.error);
        return outcome;
    }
    if (job.openAfter) {
        if (job.accent)
            frontEnd.openDocument(accentPath);
        if (job.rtf)
            frontEnd.openDocument(rtfPath);
        if (job.text)
            frontEnd.openDocument(textPath);
    }
    outcome.status = ConversionOutcome::Status::Converted;
    frontEnd.reportSuccess(successMessage);
    return outcome;
}

void convertDocument(const std::string& folder, const std::string& name, bool accent, bool rtf,
                     bool text, bool openAfter, FrontEnd& frontEnd) {
    const std::string source = sourcePath(folder, name);
    runConversion({source, source, accent, rtf, text, openAfter}, frontEnd);
}

} // namespace orv
