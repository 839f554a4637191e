#include "convert/convert_document.h"

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

// The decoded text is read once by the decoder's side and once by each
// writer; progress counts all of them against the source's size.
class RunProgress {
public:
    RunProgress(FrontEnd& frontEnd, std::uint64_t sourceBytes, int passes)
        : frontEnd_(frontEnd), total_(sourceBytes * static_cast<std::uint64_t>(passes)) {}

    void advance(std::size_t bytes) {
        done_ = std::min(total_, done_ + bytes);
        frontEnd_.progress(done_, total_);
        if (frontEnd_.cancelled())
            throw ConversionCancelled{};
    }
    void finish() { frontEnd_.progress(total_, total_); }

private:
    FrontEnd& frontEnd_;
    std::uint64_t total_;
    std::uint64_t done_ = 0;
};

void noteFailure(ConversionOutcome& outcome, const ConversionError& failure) {
    outcome.error = failure.what();
    outcome.errorPath = failure.path();
    outcome.errorReason = failure.reason();
}

} // namespace

ConversionPaths conversionPaths(const std::string& folder, const std::string& name) {
    const std::string source = folder + "/" + name;
    return {source, source + ".txt", source + ".acc", source + ".rtf"};
}

ConversionOutcome runConversion(const ConversionJob& job, FrontEnd& frontEnd) {
    const std::string textPath = job.outputBase + ".txt", accentPath = job.outputBase + ".acc",
                      rtfPath = job.outputBase + ".rtf";
    ConversionOutcome outcome;
    // The private intermediate: a hidden file beside the outputs that the
    // writers read back, and that becomes the text output only at the end.
    std::optional<OutputFile> text;
    bool textComplete = false;
    const std::string* step = &job.source; // the file being written, named if memory runs out
    try {
        InputFile source(job.source);
        outcome.sourceBytes = source.size();
        RunProgress progress(frontEnd, source.size(), 1 + int{job.accent} + int{job.rtf});
        const ScopedRunContext context(
            {newFileMode(source.permissions()), [&](std::size_t n) { progress.advance(n); }});
        step = &textPath;
        text.emplace(textPath, OutputFile::Visibility::privateUntilPublished);
        decodeSourceToTextFile(source, *text);
        source.close();
        text->finish();
        textComplete = true;
        if (job.accent) {
            step = &accentPath;
            writeAccentDocument(text->temporaryPath(), accentPath);
            outcome.outputs.push_back(accentPath);
        }
        if (job.rtf) {
            step = &rtfPath;
            writeRtfDocument(text->temporaryPath(), rtfPath);
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
    const std::string source = conversionPaths(folder, name).source;
    runConversion({source, source, accent, rtf, text, openAfter}, frontEnd);
}

} // namespace orv
