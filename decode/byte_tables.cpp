#include "decode/byte_tables.h"

#include "decode/char_map.h"

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

} // namespace orv
