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

struct PreparedConversion::State {
    ConversionJob job;
    OutputPaths paths;
    ConversionOutcome outcome;
    std::unique_ptr<OutputFile> text, accent, rtf;
    bool textComplete = false;
    bool cancelled = false;
    // What failed while the outputs were written: before the writers (or in
    // one of them, told as its turn comes).
    std::optional<ConversionError> failure, accentFailure, rtfFailure;

    // The intermediate's hidden name means nothing to the user.
    ConversionError shown(const ConversionError& error) const {
        if (text && error.path() == text->temporaryPath())
            return ConversionError(paths.text, error.reason());
        return error;
    }
};

PreparedConversion::PreparedConversion() : state_(std::make_unique<State>()) {}
PreparedConversion::~PreparedConversion() = default;
PreparedConversion::PreparedConversion(PreparedConversion&&) noexcept = default;
PreparedConversion& PreparedConversion::operator=(PreparedConversion&&) noexcept = default;

PreparedConversion prepareConversion(const ConversionJob& job, FrontEnd& frontEnd) {
    PreparedConversion prepared;
    PreparedConversion::State& s = *prepared.state_;
    s.job = job;
    s.paths = outputPaths(job.outputBase);
    s.outcome.outputs.reserve(3);
    const std::string* step = &job.source; // the file being written, named if memory runs out
    std::optional<InputFile> source;
    try {
        source.emplace(job.source, job.followSourceLink);
        RunProgress progress(frontEnd, source->size(), 1 + int{job.accent} + int{job.rtf});
        const ScopedRunContext context({newFileMode(source->permissions()),
                                        [&](std::size_t n) { progress.advance(n); },
                                        {true, source->group(), source->permissions()}});
        step = &s.paths.text;
        // The private intermediate: a hidden file beside the outputs that the
        // writers read back, and that becomes the text output only at the end.
        s.text = std::make_unique<OutputFile>(s.paths.text,
                                              OutputFile::Visibility::privateUntilPublished);
        // From parallelWritersFrom on, the documents are written while the text is
        // decoded, each writer on a thread of its own reading the text as it
        // grows; below that, one after the other once it is complete. Either
        // way they take their names in the fixed order later, so what
        // remains after a failure is what the steps one after the other
        // would leave: a failed decode leaves no document, and the Accent
        // document's failure is the one told.
        const auto start = source->size() >= parallelWritersFrom
                               ? WriterThread::Start::now
                               : WriterThread::Start::whenPublished;
        std::optional<WriterThread> accent, rtf;
        if (job.accent)
            accent.emplace(WriterThread::Writer{writeAccentDocument}, *s.text, s.paths.accent,
                           progress, start);
        if (job.rtf)
            rtf.emplace(WriterThread::Writer{writeRtfDocument}, *s.text, s.paths.rtf, progress,
                        start);
        const ReadersReleased released(*s.text);
        decodeSourceToTextFile(*source, *s.text);
        s.outcome.sourceBytes = source->bytesRead();
        source->close();
        s.text->finish();
        s.textComplete = true;
        const auto finishWriter = [&](std::optional<WriterThread>& writer, const std::string& path,
                                      std::unique_ptr<OutputFile>& output,
                                      std::optional<ConversionError>& failure) {
            if (!writer)
                return true;
            step = &path;
            try {
                writer->wait();
            } catch (const ConversionError& error) {
                failure = s.shown(error);
                return false;
            }
            output = writer->takeOutput();
            return true;
        };
        if (finishWriter(accent, s.paths.accent, s.accent, s.accentFailure))
            finishWriter(rtf, s.paths.rtf, s.rtf, s.rtfFailure);
        progress.finish();
    } catch (const ConversionError& failure) {
        s.failure = s.shown(failure);
    } catch (const std::bad_alloc&) {
        // A document too large for memory is a failure like any other, not a crash.
        s.failure = ConversionError(*step, ENOMEM);
    } catch (const ConversionCancelled&) {
        s.cancelled = true; // the hidden files go with their owners
    }
    if (source && !s.textComplete)
        s.outcome.sourceBytes = source->bytesRead();
    return prepared;
}

void PreparedConversion::addOutputsTo(SyncGroup& group) {
    State& s = *state_;
    if (s.cancelled)
        return;
    for (OutputFile* file : {s.accent.get(), s.rtf.get()})
        if (file != nullptr)
            group.add(*file);
    // The text is kept when asked for, or after a later step failed.
    const bool laterFailure = s.failure || s.accentFailure || s.rtfFailure;
    if (s.textComplete && (s.job.text || laterFailure))
        group.add(*s.text);
}

std::uint64_t PreparedConversion::outputBytes() const {
    std::uint64_t bytes = 0;
    for (const OutputFile* file : {state_->text.get(), state_->accent.get(), state_->rtf.get()})
        if (file != nullptr && file->pending())
            bytes += file->bytesWritten();
    return bytes;
}

int PreparedConversion::openFiles() const {
    int files = 0;
    for (const OutputFile* file : {state_->text.get(), state_->accent.get(), state_->rtf.get()})
        files += file != nullptr && file->pending() ? 1 : 0;
    return files;
}

bool PreparedConversion::holdsHiddenNames() const {
    for (const OutputFile* file : {state_->text.get(), state_->accent.get(), state_->rtf.get()})
        if (file != nullptr && file->hidden())
            return true;
    return false;
}

void PreparedConversion::name(SyncGroup& group) {
    State& s = *state_;
    if (s.cancelled)
        return;
    ConversionOutcome& outcome = s.outcome;
    const std::string* step = &s.paths.text;
    const auto publish = [&](OutputFile& file, const std::string& path) {
        step = &path;
        file.publish();
        group.addNamed(path);
        outcome.outputs.push_back(path);
    };
    try {
        if (s.failure)
            throw *s.failure;
        if (s.job.accent) {
            if (s.accentFailure)
                throw *s.accentFailure;
            publish(*s.accent, s.paths.accent);
        }
        if (s.job.rtf) {
            if (s.rtfFailure)
                throw *s.rtfFailure;
            publish(*s.rtf, s.paths.rtf);
        }
        if (s.job.text) {
            publish(*s.text, s.paths.text);
        } else {
            // Only the decoded text is dropped: a text output of that name,
            // from an earlier run or the user's own, is no concern of a run
            // that does not write one.
            s.text->discard();
        }
    } catch (const ConversionError& failure) {
        noteFailure(outcome, s.shown(failure));
    } catch (const std::bad_alloc&) {
        noteFailure(outcome, ConversionError(*step, ENOMEM));
    }
    if (!outcome.error.empty() && s.textComplete && s.text->pending()) {
        // A later step failed: the decoded text stays, as the text output.
        // Should that fail too, the first failure is the one to report.
        try {
            s.text->publish();
            group.addNamed(s.paths.text);
            outcome.outputs.push_back(s.paths.text);
        } catch (const ConversionError&) {
        }
    }
}

ConversionOutcome PreparedConversion::report(const SyncGroup& group, FrontEnd& frontEnd) {
    State& s = *state_;
    ConversionOutcome outcome = std::move(s.outcome);
    if (s.cancelled) {
        outcome.status = ConversionOutcome::Status::Cancelled;
        return outcome;
    }
    // A name that may not survive a power cut is no output to count on.
    for (const std::string& path : outcome.outputs) {
        if (!outcome.error.empty())
            break;
        if (const int error = group.folderError(path); error != 0) {
            const std::size_t slash = path.rfind('/');
            noteFailure(outcome, ConversionError(slash == std::string::npos ? std::string(".")
                                                 : slash == 0               ? std::string("/")
                                                                            : path.substr(0, slash),
                                                 error));
        }
    }
    if (!outcome.error.empty()) {
        frontEnd.reportFailure(outcome.error);
        return outcome;
    }
    const ConversionJob& job = s.job;
    if (job.openAfter) {
        if (job.accent)
            frontEnd.openDocument(s.paths.accent);
        if (job.rtf)
            frontEnd.openDocument(s.paths.rtf);
        if (job.text)
            frontEnd.openDocument(s.paths.text);
    }
    outcome.status = ConversionOutcome::Status::Converted;
    frontEnd.reportSuccess(successMessage);
    return outcome;
}

ConversionOutcome convertDocument(const ConversionJob& job, FrontEnd& frontEnd) {
    PreparedConversion prepared = prepareConversion(job, frontEnd);
    SyncGroup group;
    prepared.addOutputsTo(group);
    group.syncData();
    prepared.name(group);
    group.syncNames();
    return prepared.report(group, frontEnd);
}

} // namespace orv
