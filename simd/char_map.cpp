#include "simd/char_map.h"

namespace orv {
namespace {

constexpr std::array<std::int16_t, 256> buildCharMap() {
    std::array<std::int16_t, 256> map{};
    map.fill(noTranslation);
    for (int b = 32; b <= 129; ++b)
        map[b] = static_cast<std::int16_t>(b);
    // The odd ones out, including the two inside the run above.
    constexpr std::int16_t pairs[][2] = {
        {1, 'Q'},   {4, 'J'},   {7, 'q'},   {8, 'H'},   {18, 'R'},  {19, 'B'},  {20, 'Z'},
        {22, 'V'},  {23, 'A'},  {24, 'X'},  {99, 'C'},  {119, 'a'}, {130, 'G'}, {133, 'Y'},
        {144, 'F'}, {148, 'K'}, {158, 'x'}, {172, 'w'}, {173, 'W'}, {174, 'i'}, {175, 'I'},
        {176, 'u'}, {177, 'U'}, {178, 'e'}, {179, 'E'}, {180, 'o'}, {181, 'O'}, {197, 'c'},
    };
    for (const auto& [from, to] : pairs)
        map[from] = to;
    return map;
}

} // namespace

const std::array<std::int16_t, 256> charMap = buildCharMap();

} // namespace orv
