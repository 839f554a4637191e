#include "decode/source_reader.h"

#include "io/byte_files.h"
#include "io/conversion_error.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

namespace orv {
namespace {

// Removes terminators from one block, appending the rest to content.
// afterCr carries a CR that ended the previous block.
void appendWithoutTerminators(const char* p, const char* end, bool& afterCr, std::string& content) {
    if (afterCr && p != end && *p == '\n')
        ++p;
    afterCr = false;
    while (p != end) {
        const auto* cr = static_cast<const char*>(std::memchr(p, '\r', end - p));
        if (cr == nullptr) {
            content.append(p, end);
            return;
        }
        content.append(p, cr);
        p = cr + 1;
        if (p == end)
            afterCr = true;
        else if (*p == '\n')
            ++p;
    }
}

} // namespace

std::string readSourceContent(InputFile& file) {
    std::string content;
    content.reserve(file.size());
    const auto block = std::make_unique_for_overwrite<char[]>(ioBlockSize);
    bool afterCr = false;
    bool anyByte = false;
    while (const std::size_t got = file.read(block.get(), ioBlockSize)) {
        anyByte = true;
        appendWithoutTerminators(block.get(), block.get() + got, afterCr, content);
    }
    // A file of no bytes has not even one line to read.
    if (!anyByte)
        throw ConversionError(file.path(), ENODATA);
    return content;
}

std::string readSourceContent(const std::string& sourcePath) {
    InputFile file(sourcePath);
    try {
        std::string content = readSourceContent(file);
        file.close();
        return content;
    } catch (const std::bad_alloc&) {
        throw ConversionError(sourcePath, ENOMEM);
    }
}

} // namespace orv
