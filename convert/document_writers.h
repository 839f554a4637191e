#pragma once

#include "convert/run_progress.h"
#include "convert/writer_thread.h"
#include "io/byte_files.h"
#include "io/conversion_error.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orv {

// A document made from the decoded text: who writes it, where, and whether
// the run wants it. A run lists them in the fixed order they are written,
// named and opened in.
struct DocumentFormat {
    WriterThread::Writer write;
    std::string path;
    bool wanted = false;
};

// A wanted document once its writer is done: its finished, unnamed output,
// or what failed.
struct WrittenDocument {
    std::string path;
    std::unique_ptr<OutputFile> output;
    std::optional<Failure> failure;
};

// The writers of a run's documents, each reading the decoded text as it
// grows (from the start, on threads of their own) or once it is finished
// (on the run's thread, when waited for). However the run ends, leaving
// their scope wakes the writers still waiting for more of the text before
// it waits for them to stop, and removes the outputs not handed over.
class DocumentWriters {
public:
    DocumentWriters(std::span<const DocumentFormat> formats, OutputFile& decodedText,
                    RunProgress& progress, WriterThread::Start start);
    ~DocumentWriters();
    DocumentWriters(const DocumentWriters&) = delete;
    DocumentWriters& operator=(const DocumentWriters&) = delete;

    // Once the text is finished: waits for the writers in the fixed order
    // and hands over what each wrote, up to and with the first failure
    // (which is told for its document; the later ones are not waited for).
    // A cancel throws ConversionCancelled.
    std::vector<WrittenDocument> finish();

private:
    // Wakes the writers waiting for more of the text, waits for them to
    // stop, and lets the text know its readers are gone.
    void stop();

    OutputFile& decodedText_;
    std::vector<std::unique_ptr<WriterThread>> writers_;
};

// The number of documents wanted.
int wantedDocuments(std::span<const DocumentFormat> formats);

} // namespace orv
