#include "writers/unicode_text.h"

#include "io/background_writer.h"
#include "io/block_sizes.h"
#include "io/scratch_blocks.h"

#include <algorithm>
#include <cstring>

namespace orv {

// Made from xkb-data's symbols/us and symbols/mv, their "basic" sections:
// each key's US symbol and its Thaana symbol at the same level (unshifted
// or shifted). The US keys give every printable ASCII byte; space, which
// neither section holds, TAB, CR and LF are themselves; everything else
// (the other control bytes, DEL, 128 to 255) is U+FFFD.
// clang-format off
const std::array<char32_t, 256> unicodeTextTable = {
    0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0x0009, 0x000A, 0xFFFD, 0xFFFD, 0x000D, 0xFFFD, 0xFFFD, // 0_
    0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, // 1_
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027, 0x0028, 0x0029, 0x002A, 0x002B, 0x060C, 0x002D, 0x002E, 0x002F, // 2_
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x061F, // 3_
    0x0040, 0x07A7, 0x079E, 0x079D, 0x0791, 0x07AD, 0xFDF2, 0x07A3, 0x0799, 0x07A9, 0x079B, 0x079A, 0x0785, 0x079F, 0x078F, 0x07AF, // 4_
    0x00F7, 0x07A4, 0x079C, 0x0781, 0x0793, 0x07AB, 0x07A5, 0x07A2, 0x0798, 0x07A0, 0x07A1, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F, // 5_
    0x0060, 0x07A6, 0x0784, 0x0797, 0x078B, 0x07AC, 0x078A, 0x078E, 0x0780, 0x07A8, 0x0796, 0x0786, 0x078D, 0x0789, 0x0782, 0x07AE, // 6_
    0x0795, 0x07B0, 0x0783, 0x0790, 0x078C, 0x07AA, 0x0788, 0x0787, 0x00D7, 0x0794, 0x0792, 0x007B, 0x007C, 0x007D, 0x007E, 0xFFFD, // 7_
    0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, // 8_
    0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, // 9_
    0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, // A_
    0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, // B_
    0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, // C_
    0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, // D_
    0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, // E_
    0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, // F_
};
// clang-format on

namespace {

// Each byte's UTF-8 bytes, padded to four for a store of fixed size, how
// many of them count, and whether the byte was replaced: one load a byte.
struct alignas(8) Encoded {
    char bytes[4];
    std::uint8_t length;
    std::uint8_t replaced;
};

std::array<Encoded, 256> makeEncoded() {
    std::array<Encoded, 256> table{};
    for (std::size_t b = 0; b < 256; ++b) {
        const char32_t c = unicodeTextTable[b];
        Encoded& e = table[b];
        if (c < 0x80) {
            e.bytes[0] = static_cast<char>(c);
            e.length = 1;
        } else if (c < 0x800) {
            e.bytes[0] = static_cast<char>(0xC0 | c >> 6);
            e.bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
            e.length = 2;
        } else {
            e.bytes[0] = static_cast<char>(0xE0 | c >> 12);
            e.bytes[1] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
            e.bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
            e.length = 3;
        }
        e.replaced = c == U'\uFFFD';
    }
    return table;
}

// No code point in the table needs more than three bytes.
constexpr std::size_t mostPerByte = 3;

} // namespace

std::uint64_t writeUnicodeText(InputFile& text, OutputFile& file) {
    static const std::array<Encoded, 256> encoded = makeEncoded();
    const ScratchBlock input(ScratchRole::input);
    char* const block = input.get();
    std::uint64_t replaced = 0;
    {
        BackgroundWriter out(file);
        for (std::size_t got; (got = text.read(block, ioBlockSize)) != 0;) {
            const auto* p = reinterpret_cast<const unsigned char*>(block);
            const auto* const end = p + got;
            while (p != end) {
                const auto left = static_cast<std::size_t>(end - p);
                // Each byte stores four and keeps its length: one spare byte
                // past the most the bytes can take.
                const auto room = out.room(std::min(ioBlockSize, mostPerByte * left + 1));
                const std::size_t n = std::min(left, (room.size() - 1) / mostPerByte);
                char* to = room.data();
                for (const auto* last = p + n; p != last; ++p) {
                    const Encoded& e = encoded[*p];
                    std::memcpy(to, e.bytes, 4);
                    to += e.length;
                    replaced += e.replaced;
                }
                out.commit(static_cast<std::size_t>(to - room.data()));
            }
        }
        out.finish();
    }
    file.finish();
    return replaced;
}

} // namespace orv
