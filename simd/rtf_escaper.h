#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

// The one RTF escaper: the plain loops, every SIMD target and the writer's
// path for lines longer than a block all escape through escapeRtfWith; a
// target only brings its way of finding the next byte to escape.
namespace orv {

// The bytes an RTF body cannot hold as they are: \, { and }, which RTF
// reads as its own, every control byte but TAB, and every byte from 128 up,
// which readers take in whatever code page they guess unless it is written
// as \'hh (RTF is 7-bit; the header declares the code page).
inline constexpr bool isRtfSpecial(unsigned char b) {
    return b == '\\' || b == '{' || b == '}' || (b < 0x20 && b != '\t') || b >= 0x80;
}
// The most bytes one byte takes in an RTF body.
inline constexpr std::size_t rtfEscapeBytes = 4;

// Each byte as the RTF body writes it when it isRtfSpecial: \\, \{ or \},
// else \'hh (lower-case hex), padded to four bytes for a store of fixed
// size; length 0 for the bytes written as they are, and for CR, which ends
// a line instead.
struct alignas(8) RtfEscape {
    char bytes[rtfEscapeBytes];
    std::uint8_t length;
};
inline constexpr std::array<RtfEscape, 256> rtfEscapes = [] {
    std::array<RtfEscape, 256> table{};
    constexpr char digits[] = "0123456789abcdef";
    for (int b = 0; b < 256; ++b) {
        RtfEscape& e = table[static_cast<std::size_t>(b)];
        if (b == '\r' || !isRtfSpecial(static_cast<unsigned char>(b)))
            continue;
        e.bytes[0] = '\\';
        if (b == '\\' || b == '{' || b == '}') {
            e.bytes[1] = static_cast<char>(b);
            e.length = 2;
        } else {
            e.bytes[1] = '\'';
            e.bytes[2] = digits[b >> 4];
            e.bytes[3] = digits[b & 0xF];
            e.length = 4;
        }
    }
    return table;
}();

// Where an escape stopped: at the end of its bytes or at a CR.
struct EscapedRun {
    const char* next; // the first byte not taken
    std::size_t written;
};

// [p, end) as the RTF body holds it, into out from out + written on, up
// to end or the first CR (which ends a line instead, and is not taken);
// returns written with the bytes escaped added. There is room for
// rtfEscapeBytes times the bytes taken, which may all be written over. findSpecial(q, end) is the
// first byte of [q, end) that isRtfSpecial, or end. Specials are rare in most text, so the runs
// between them are copied whole; a run of specials (text in the upper half
// of the code page) is escaped without another scan, each byte a store of
// four that stays within the four it may take.
template <class FindSpecial>
inline EscapedRun escapeRtfWith(const char* p, const char* end, char* out, std::size_t written,
                                FindSpecial findSpecial) {
    for (;;) {
        const char* special = findSpecial(p, end);
        std::memcpy(out + written, p, static_cast<std::size_t>(special - p));
        written += static_cast<std::size_t>(special - p);
        for (p = special; p != end; ++p) {
            const RtfEscape& e = rtfEscapes[static_cast<unsigned char>(*p)];
            if (e.length == 0)
                break; // an ordinary byte, or CR
            std::memcpy(out + written, e.bytes, rtfEscapeBytes);
            written += e.length;
        }
        if (p == end || *p == '\r')
            return {p, written};
    }
}

} // namespace orv
