#include "simd/byte_tables.h"

#include "simd/char_map.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace orv {

const std::array<char, 256>& translationTable() {
    static const std::array<char, 256> table = [] {
        std::array<char, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[b] = static_cast<char>(charMap[b] == noTranslation ? b : charMap[b]);
        return t;
    }();
    return table;
}

const std::array<unsigned char, 256>& byteClasses() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[b] = isBreakCode(static_cast<unsigned char>(b)) ? breakByte : plainByte;
        t['\r'] = crByte;
        return t;
    }();
    return table;
}

namespace {

// Places the rows from `next` on in the slots left free, the most crowded
// first; false if they cannot all be placed.
bool placeRows(const std::array<int, 16>& rows, int count, int next,
               const std::array<std::uint16_t, 16>& changed, std::uint32_t used,
               std::array<std::uint8_t, 16>& turn) {
    if (next == count)
        return true;
    const int row = rows[next];
    for (int choice = 0; choice < 32; ++choice) {
        std::uint32_t slots = 0;
        for (int low = 0; low < 16; ++low) {
            if ((changed[row] >> low & 1U) != 0)
                slots |= 1U << ((choice & 16) | (low ^ (choice & 15)));
        }
        if ((slots & used) == 0 && placeRows(rows, count, next + 1, changed, used | slots, turn)) {
            turn[row] = static_cast<std::uint8_t>(choice);
            return true;
        }
    }
    return false;
}

} // namespace

const ShuffleTranslation& shuffleTranslation() {
    static const ShuffleTranslation shuffle = [] {
        const auto& table = translationTable();
        std::array<std::uint16_t, 16> changed{};
        for (int b = 0; b < 256; ++b) {
            if (static_cast<unsigned char>(table[b]) != b)
                changed[b >> 4] |= static_cast<std::uint16_t>(1U << (b & 15));
        }
        std::array<int, 16> rows{};
        int count = 0;
        for (int row = 0; row < 16; ++row) {
            if (changed[row] != 0)
                rows[count++] = row;
        }
        std::stable_sort(rows.begin(), rows.begin() + count, [&](int a, int b) {
            return std::popcount(changed[a]) > std::popcount(changed[b]);
        });
        // Bit 4 of a row's turn picks the half, bits 0-3 turn the low nibble.
        std::array<std::uint8_t, 16> turn{};
        if (!placeRows(rows, count, 0, changed, 0, turn))
            throw std::logic_error("the translation does not fit 32 shuffle slots");
        ShuffleTranslation s{};
        for (int hi = 0; hi < 16; ++hi) {
            s.rowKey[hi] =
                static_cast<std::uint8_t>(hi << 4 ^ (turn[hi] & 16) << 3 ^ (turn[hi] & 15));
        }
        // Free slots keep byte 0, which the table leaves as it is, and any
        // byte that finds its own value in a slot gets the table's entry.
        for (int b = 0; b < 256; ++b) {
            if ((changed[b >> 4] >> (b & 15) & 1U) == 0)
                continue;
            const int slot = b ^ s.rowKey[b >> 4];
            s.from[slot >> 7][slot & 15] = static_cast<std::uint8_t>(b);
            s.to[slot >> 7][slot & 15] = static_cast<std::uint8_t>(table[b]);
        }
        return s;
    }();
    return shuffle;
}

} // namespace orv
