#include "bench/text_like_source.h"

#include "simd/char_map.h"

#include <array>
#include <vector>

namespace orv::bench {
namespace {

// splitmix64: tiny, and the same sequence on every platform and library,
// which the standard distributions do not promise.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
        z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
        return z ^ (z >> 31);
    }
    // A number in [0, bound).
    std::size_t below(std::size_t bound) { return static_cast<std::size_t>(next() % bound); }

private:
    std::uint64_t state_;
};

bool isLetter(int b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

// Source bytes that decode to letters, so the text exercises the table.
std::vector<unsigned char> letterBytes() {
    std::vector<unsigned char> letters;
    for (int b = 0; b < 256; ++b) {
        if (charMap[b] != noTranslation && isLetter(charMap[b]))
            letters.push_back(static_cast<unsigned char>(b));
    }
    return letters;
}

constexpr std::array<unsigned char, 4> breaksByWeight = {3, 252, 3, 252};
constexpr std::array<unsigned char, 2> rareBreaks = {250, 254};

unsigned char pickBreak(Random& random) {
    if (random.below(10) == 0)
        return rareBreaks[random.below(rareBreaks.size())];
    return breaksByWeight[random.below(breaksByWeight.size())];
}

} // namespace

std::string makeTextLikeSource(std::size_t size, std::uint64_t seed) {
    const std::vector<unsigned char> letters = letterBytes();
    constexpr std::string_view punctuation = ".,;:!?0123456789";
    Random random(seed);
    std::string source;
    source.reserve(size);
    while (source.size() < size) {
        std::size_t segment = 10 + random.below(101);
        while (segment-- != 0 && source.size() < size) {
            const std::size_t roll = random.below(1000);
            if (roll < 160)
                source.push_back(' ');
            else if (roll < 170)
                source.push_back(static_cast<char>(fillerByte));
            else if (roll < 175)
                source.append("\r\n");
            else if (roll < 200)
                source.push_back(punctuation[random.below(punctuation.size())]);
            else
                source.push_back(static_cast<char>(letters[random.below(letters.size())]));
        }
        if (source.size() < size)
            source.push_back(static_cast<char>(pickBreak(random)));
    }
    source.resize(size); // a CR LF may have run one byte over
    return source;
}

std::string makeBreakOnlySource(std::size_t size, std::uint64_t seed) {
    Random random(seed);
    std::string source;
    source.reserve(size);
    while (source.size() < size)
        source.push_back(static_cast<char>(pickBreak(random)));
    return source;
}

} // namespace orv::bench
