#include "convert/convert_document.h"

#include "convert/document_writers.h"
#include "convert/run_progress.h"
#include "decode/source_decoder.h"
#include "io/byte_files.h"
#include "io/conversion_error.h"
#include "io/run_context.h"
#include "writers/accent_writer.h"
#include "writers/rtf_writer.h"
#include "writers/unicode_text.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <optional>
#include <utility>

namespace orv {
namespace {

// Runs step; memory running out in it is a failure of path.
template <class Step> void failingForPath(const std::string& path, Step&& step) {
    try {
        step();
    } catch (const std::bad_alloc&) {
        // A document too large for memory is a failure like any other, not a crash.
        throw ConversionError(path, ENOMEM);
    }
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
    return {outputBase + ".txt", outputBase + ".acc", outputBase + ".rtf",
            outputBase + ".utf8.txt"};
}

std::string replacedBytesWarning(const std::string& path, std::uint64_t replacedBytes) {
    return path + ": " + std::to_string(replacedBytes) + (replacedBytes == 1 ? " byte" : " bytes") +
           " with no Unicode character, written as U+FFFD";
}

struct PreparedConversion::State {
    ConversionJob job;
    OutputPaths paths;
    ConversionOutcome outcome;
    std::unique_ptr<OutputFile> text;
    // The documents made from the text, in the fixed order they are
    // written, named and opened in; the text output comes after them.
    std::vector<DocumentFormat> formats;
    // What became of the wanted ones: in that order, up to the first failure.
    std::vector<WrittenDocument> documents;
    // Set by the Unicode text's writer, read once it is waited for.
    std::uint64_t replacedBytes = 0;
    bool textComplete = false;
    bool cancelled = false;
    // What failed before the documents were written.
    std::optional<Failure> failure;

    // The intermediate's hidden name means nothing to the user.
    Failure shown(Failure failure) const {
        if (text && failure.path == text->temporaryPath())
            failure.path = paths.text;
        return failure;
    }

    template <class Visit> void forEachOutput(Visit&& visit) const {
        if (text)
            visit(*text);
        for (const WrittenDocument& document : documents)
            if (document.output)
                visit(*document.output);
    }

    void writeOutputs(InputFile& source, FrontEnd& frontEnd);
};

PreparedConversion::PreparedConversion() : state_(std::make_unique<State>()) {}
PreparedConversion::~PreparedConversion() = default;
PreparedConversion::PreparedConversion(PreparedConversion&&) noexcept = default;
PreparedConversion& PreparedConversion::operator=(PreparedConversion&&) noexcept = default;

void PreparedConversion::State::writeOutputs(InputFile& source, FrontEnd& frontEnd) {
    RunProgress progress(frontEnd, source.size(), 1 + wantedDocuments(formats));
    const ScopedRunContext context({newFileMode(source.permissions()),
                                    [&](std::size_t n) { progress.advance(n); },
                                    {true, source.group(), source.permissions()}});
    // The private intermediate: a hidden file beside the outputs that the
    // writers read back, and that becomes the text output only at the end.
    text = std::make_unique<OutputFile>(paths.text, OutputFile::Visibility::privateUntilPublished);
    // From parallelWritersFrom on, the documents are written while the text is
    // decoded, each writer on a thread of its own reading the text as it
    // grows; below that, one after the other once it is complete. Either
    // way they take their names in the fixed order later, so what remains
    // after a failure is what the steps one after the other would leave: a
    // failed decode leaves no document, and the first document's failure is
    // the one told.
    DocumentWriters writers(formats, *text, progress,
                            source.size() >= parallelWritersFrom
                                ? WriterThread::Start::now
                                : WriterThread::Start::whenWaitedFor);
    decodeSourceToTextFile(source, *text);
    outcome.sourceBytes = source.bytesRead();
    source.close();
    text->finish();
    textComplete = true;
    documents = writers.finish();
    for (WrittenDocument& document : documents)
        if (document.failure)
            document.failure = shown(*document.failure);
    progress.finish();
}

PreparedConversion prepareConversion(ConversionJob job, FrontEnd& frontEnd) {
    PreparedConversion prepared;
    PreparedConversion::State& s = *prepared.state_;
    s.job = std::move(job);
    s.paths = outputPaths(s.job.outputBase);
    s.formats = {
        {writeAccentDocument, s.paths.accent, s.job.accent},
        {writeRtfDocument, s.paths.rtf, s.job.rtf},
        {[&replaced = s.replacedBytes](InputFile& text, OutputFile& out) {
             replaced = writeUnicodeText(text, out);
         },
         s.paths.unicodeText, s.job.unicodeText},
    };
    s.outcome.outputs.reserve(s.formats.size() + 1);
    std::optional<InputFile> source;
    try {
        failingForPath(s.job.source, [&] { source.emplace(s.job.source, s.job.followSourceLink); });
        failingForPath(s.paths.text, [&] { s.writeOutputs(*source, frontEnd); });
    } catch (const ConversionError& failure) {
        s.failure = s.shown(failure.failure());
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
    bool laterFailure = s.failure.has_value();
    for (const WrittenDocument& document : s.documents) {
        if (document.output)
            group.add(*document.output);
        laterFailure = laterFailure || document.failure;
    }
    // The text is kept when asked for, or after a later step failed.
    if (s.textComplete && (s.job.text || laterFailure))
        group.add(*s.text);
}

std::uint64_t PreparedConversion::outputBytes() const {
    std::uint64_t bytes = 0;
    state_->forEachOutput([&](const OutputFile& file) {
        if (file.pending())
            bytes += file.bytesWritten();
    });
    return bytes;
}

int PreparedConversion::openFiles() const {
    int files = 0;
    state_->forEachOutput([&](const OutputFile& file) { files += file.pending() ? 1 : 0; });
    return files;
}

bool PreparedConversion::holdsHiddenNames() const {
    bool hidden = false;
    state_->forEachOutput([&](const OutputFile& file) { hidden = hidden || file.hidden(); });
    return hidden;
}

void PreparedConversion::name(SyncGroup& group) {
    State& s = *state_;
    if (s.cancelled)
        return;
    ConversionOutcome& outcome = s.outcome;
    const auto publish = [&](OutputFile& file, const std::string& path) {
        failingForPath(path, [&] {
            file.publish();
            group.addNamed(file);
            outcome.outputs.push_back(path);
        });
    };
    try {
        if (s.failure)
            throw ConversionError(*s.failure);
        for (WrittenDocument& document : s.documents) {
            if (document.failure)
                throw ConversionError(*document.failure);
            publish(*document.output, document.path);
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
        outcome.failure = s.shown(failure.failure());
    }
    if (outcome.failure && s.textComplete && s.text->pending()) {
        // A later step failed: the decoded text stays, as the text output.
        // Should that fail too, the first failure is the one to report.
        try {
            publish(*s.text, s.paths.text);
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
        if (outcome.failure)
            break;
        if (const int error = group.folderError(path); error != 0) {
            const std::size_t slash = path.rfind('/');
            outcome.failure = Failure::ofError(slash == std::string::npos ? std::string(".")
                                               : slash == 0               ? std::string("/")
                                                                          : path.substr(0, slash),
                                               error);
        }
    }
    // Told once, of the output that holds them, whatever the outcome.
    if (s.replacedBytes != 0 && std::find(outcome.outputs.begin(), outcome.outputs.end(),
                                          s.paths.unicodeText) != outcome.outputs.end()) {
        outcome.replacedBytes = s.replacedBytes;
        frontEnd.reportWarning(replacedBytesWarning(s.paths.unicodeText, s.replacedBytes));
    }
    if (outcome.failure) {
        frontEnd.reportFailure(outcome.failure->message());
        return outcome;
    }
    if (s.job.openAfter) {
        for (const WrittenDocument& document : s.documents)
            frontEnd.openDocument(document.path);
        if (s.job.text)
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
