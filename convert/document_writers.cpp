#include "convert/document_writers.h"

namespace orv {

DocumentWriters::DocumentWriters(std::span<const DocumentFormat> formats, OutputFile& decodedText,
                                 RunProgress& progress, WriterThread::Start start)
    : decodedText_(decodedText) {
    try {
        writers_.reserve(formats.size());
        for (const DocumentFormat& format : formats)
            if (format.wanted)
                writers_.push_back(std::make_unique<WriterThread>(format.write, decodedText,
                                                                  format.path, progress, start));
    } catch (...) {
        stop();
        throw;
    }
}

DocumentWriters::~DocumentWriters() {
    stop();
}

void DocumentWriters::stop() {
    // A text left unfinished (a failure, a cancel) would hold the writers
    // waiting for more of it for ever.
    decodedText_.releaseReaders();
    writers_.clear();
    decodedText_.readersDone();
}

std::vector<WrittenDocument> DocumentWriters::finish() {
    std::vector<WrittenDocument> written;
    written.reserve(writers_.size());
    for (const auto& writer : writers_) {
        WrittenDocument& document = written.emplace_back();
        document.path = writer->outputPath();
        try {
            document.output = writer->wait();
        } catch (const ConversionError& failure) {
            document.failure = failure.failure();
            break;
        }
    }
    return written;
}

int wantedDocuments(std::span<const DocumentFormat> formats) {
    int wanted = 0;
    for (const DocumentFormat& format : formats)
        wanted += format.wanted ? 1 : 0;
    return wanted;
}

} // namespace orv
