#pragma once

#include <string>

namespace orv::test {

// UTF-8 as code points, for what the readers give back.
inline std::u32string fromUtf8(const std::string& bytes) {
    std::u32string out;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const int length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? b : b & (0x3F >> (length - 1));
        for (int k = 1; k < length && i + k < bytes.size(); ++k)
            c = c << 6 | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        out += c;
        i += static_cast<std::size_t>(length);
    }
    return out;
}

} // namespace orv::test
