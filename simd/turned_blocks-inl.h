// Decoding a block of source bytes at a time, shared by the kernels of
// every target: the target turns a block (back to front, translated,
// without the bytes its segments leave out) and says where its breaks are;
// each segment is then copied out of the turned bytes, which hold it the
// right way round. So the translation runs on whole vectors, and a segment
// costs a copy, not a turn with a part vector at each end.
// Included by the kernel files inside the target's namespace; no guard.

using BlockTag = hn::ScalableTag<std::uint8_t>;
constexpr std::size_t blockLanes = hn::MaxLanes(BlockTag());

// A source byte's class, from its low nibble: the one byte of the class
// with that nibble, or for the other nibbles a byte with another nibble,
// which no byte equals. One lookup and one compare a vector find a class,
// where a compare with each of its bytes would take up to five.
struct NibbleClasses {
    std::uint8_t breaks[16]; // the break codes
    std::uint8_t drops[16];  // what a segment may leave out: fillers, CRs and LFs
};
constexpr NibbleClasses MakeNibbleClasses() {
    NibbleClasses c{};
    for (int i = 0; i < 16; ++i)
        c.breaks[i] = c.drops[i] = static_cast<std::uint8_t>(i ^ 1);
    for (int b = 0; b < 256; ++b) {
        if (isBreakCode(static_cast<unsigned char>(b)))
            c.breaks[b & 15] = static_cast<std::uint8_t>(b);
    }
    c.drops[fillerByte & 15] = fillerByte;
    c.drops['\r'] = '\r';
    c.drops['\n'] = '\n';
    return c;
}
alignas(16) constexpr NibbleClasses nibbleClasses = MakeNibbleClasses();
constexpr bool NibbleClassesHold() {
    for (int b = 0; b < 256; ++b) {
        const bool drop = b == fillerByte || b == '\r' || b == '\n';
        if ((nibbleClasses.breaks[b & 15] == b) != isBreakCode(static_cast<unsigned char>(b)) ||
            (nibbleClasses.drops[b & 15] == b) != drop)
            return false;
    }
    return true;
}
static_assert(NibbleClassesHold(), "each byte of a class has a low nibble of its own");

// The source bytes a block turns at once: the block, its turned copy and
// what is written of it stay in the first level cache.
constexpr std::size_t turnBlock = 4096;
constexpr std::size_t shortSegment = 128;

// A block of source bytes as its segments keep them: back to front,
// translated, without what they leave out; and where its break codes are
// among those bytes, in their order. The slack is for whole-vector stores
// and loads past the end.
struct TurnedBlock {
    alignas(64) std::uint8_t turned[turnBlock + shortSegment + 2 * 64];
    std::uint16_t breaks[turnBlock + 2];
};
static_assert(turnBlock <= 0x10000);

struct TurnedCounts {
    std::size_t bytes;
    std::size_t breaks;
};

// The byte after the last break code before e, which has one at or after
// e less a whole number of vectors.
HWY_INLINE const unsigned char* AfterLastBreak(const unsigned char* e) {
    const BlockTag d;
    const auto classes = hn::LoadDup128(d, nibbleClasses.breaks);
    for (;; e -= blockLanes) {
        const auto v = hn::LoadU(d, e - blockLanes);
        const auto hits =
            hn::Eq(hn::TableLookupBytes(classes, hn::And(v, hn::Set(d, std::uint8_t{0x0F}))), v);
        if (!hn::AllFalse(d, hits)) {
            std::uint64_t bits = 0;
            hn::StoreMaskBits(d, hits, reinterpret_cast<std::uint8_t*>(&bits));
            return e - blockLanes + std::bit_width(bits);
        }
    }
}

// decodeWholeSegments a block at a time, the segments in the order of the
// source. turn(from, n, block) turns the n bytes from from (a whole number
// of vectors, from a segment's start); careful(p, out, room, tabAfter,
// stop) takes segments as the plain loops do, at least those that start
// before stop.
template <class Turn, class Careful>
DecodedRun DecodeTurnedBlocks(const unsigned char* p, const unsigned char* end, char* out,
                              std::size_t room, bool tabAfter, Turn turn, Careful careful) {
    const BlockTag d;
    // A segment is copied this way while its bytes, its line end and the
    // stores past them fit.
    constexpr std::size_t slack = 3 + shortSegment + blockLanes;
    char* const fastEnd = room >= slack ? out + (room - slack) : out;
    char* o = out;
    TurnedBlock block;
    while (room >= slack) {
        const auto left = static_cast<std::size_t>(end - p);
        const std::size_t n = std::min(turnBlock, left - left % blockLanes);
        if (n < 2 * blockLanes)
            break; // the rest goes the careful way
        const TurnedCounts counts = turn(p, n, block);
        // The segment at p ends where the turned bytes end; each break
        // ends the next one.
        const std::uint8_t* segmentEnd = block.turned + counts.bytes;
        // Whether a segment fits is told by its length in the source, which
        // the turned bytes no longer show: the block goes the careful way
        // unless all of it fits, each break as a TAB CR LF.
        if (n + 2 * counts.breaks > static_cast<std::size_t>(fastEnd - o))
            break;
        for (std::size_t k = counts.breaks; k-- != 0;) {
            const std::uint8_t* const breakAt = block.turned + block.breaks[k];
            const std::uint8_t* const from = breakAt + 1;
            const auto length = static_cast<std::size_t>(segmentEnd - from);
            // Copied whole up to a length most segments have, with no branch
            // on the length; the rest a vector at a time.
            for (std::size_t i = 0; i < shortSegment; i += blockLanes)
                hn::StoreU(hn::LoadU(d, from + i), d, reinterpret_cast<std::uint8_t*>(o + i));
            for (std::size_t i = shortSegment; i < length; i += blockLanes)
                hn::StoreU(hn::LoadU(d, from + i), d, reinterpret_cast<std::uint8_t*>(o + i));
            o += length;
            // TAB CR LF or CR LF without a branch: either is as likely.
            static constexpr char ends[5] = {'\t', '\r', '\n', '\n', '\n'};
            std::memcpy(o, ends + !tabAfter, 4);
            o += 2 + static_cast<std::size_t>(tabAfter);
            // The table leaves break codes as they are.
            tabAfter = *breakAt == tabBreakCode;
            segmentEnd = breakAt;
        }
        // Where the next segment starts in the source, which the turned
        // bytes do not tell: after the block's last break.
        const unsigned char* const next = counts.breaks != 0 ? AfterLastBreak(p + n) : p;
        if (next == p && n < turnBlock)
            break;
        if (next != p) {
            p = next;
            continue;
        }
        // A segment longer than a block, on its own.
        const auto written = static_cast<std::size_t>(o - out);
        const DecodedRun run = careful(p, o, room - written, tabAfter, p + 1);
        if (run.next == p)
            return {p, written, tabAfter}; // no break before end, or no room
        o += run.written;
        tabAfter = run.tabAfter;
        p = run.next;
    }
    const auto written = static_cast<std::size_t>(o - out);
    const DecodedRun run = careful(p, o, room - written, tabAfter, end);
    return {run.next, written + run.written, run.tabAfter};
}
