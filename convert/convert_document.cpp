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

void convertDocument(const std::string& folder, const std::string& name, bool accent, bool rtf,
                     bool text, bool openAfter, FrontEnd& frontEnd) {
    const ConversionPaths paths = conversionPaths(folder, name);
    try {
        {
            // The content is dropped as soon as the text file holds it.
            const std::string content = readSourceContent(paths.source);
            decodeToTextFile(content, paths.text);
        }
        if (accent)
            writeAccentDocument(paths.text, paths.accent);
        if (rtf)
            writeRtfDocument(paths.text, paths.rtf);
        if (!text && std::remove(paths.text.c_str()) != 0)
            throwLastError(paths.text);
    } catch (const ConversionError& failure) {
        frontEnd.reportFailure(failure.what());
        return;
    } catch (const std::bad_alloc&) {
        // A document too large for memory is a failure like any other, not a crash.
        frontEnd.reportFailure(ConversionError(paths.source, ENOMEM).what());
        return;
    }
    if (openAfter) {
        if (accent)
            frontEnd.openDocument(paths.accent);
        if (rtf)
            frontEnd.openDocument(paths.rtf);
        if (text)
            frontEnd.openDocument(paths.text);
    }
    frontEnd.reportSuccess(successMessage);
}

} // namespace orv
