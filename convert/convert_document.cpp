#include "convert/convert_document.h"

#include "decode/decoded_text_file.h"
#include "decode/source_reader.h"
#include "io/conversion_error.h"
#include "writers/accent_writer.h"
#include "writers/rtf_writer.h"

#include <cerrno>
#include <cstdio>
#include <new>

namespace orv {

ConversionPaths conversionPaths(const std::string& folder, const std::string& name) {
    const std::string source = folder + "/" + name;
    return {source, source + ".txt", source + ".acc", source + ".rtf"};
}

ConversionOutcome runConversion(const ConversionJob& job, FrontEnd& frontEnd) {
    const std::string text = job.outputBase + ".txt", accent = job.outputBase + ".acc",
                      rtf = job.outputBase + ".rtf";
    ConversionOutcome outcome;
    try {
        {
            // The content is dropped as soon as the text file holds it.
            const std::string content = readSourceContent(job.source);
            outcome.sourceBytes = content.size();
            decodeToTextFile(content, text);
        }
        if (job.accent) {
            writeAccentDocument(text, accent);
            outcome.outputs.push_back(accent);
        }
        if (job.rtf) {
            writeRtfDocument(text, rtf);
            outcome.outputs.push_back(rtf);
        }
        if (!job.text && std::remove(text.c_str()) != 0)
            throwLastError(text);
        if (job.text)
            outcome.outputs.push_back(text);
    } catch (const ConversionError& failure) {
        outcome.error = failure.what();
    } catch (const std::bad_alloc&) {
        // A document too large for memory is a failure like any other, not a crash.
        outcome.error = ConversionError(job.source, ENOMEM).what();
    }
    if (!outcome.error.empty()) {
        frontEnd.reportFailure(outcome.error);
        return outcome;
    }
    if (job.openAfter) {
        if (job.accent)
            frontEnd.openDocument(accent);
        if (job.rtf)
            frontEnd.openDocument(rtf);
        if (job.text)
            frontEnd.openDocument(text);
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
