#include "cli/output_names.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace orv::cli {

namespace {

constexpr std::size_t logBuffer = 1 << 16;
constexpr unsigned segmentBits = 6;
constexpr unsigned placeBits = 40; // 1 TiB of names
constexpr std::uint64_t placeMask = (std::uint64_t{1} << placeBits) - 1;

std::uint64_t mixed(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9;
    x ^= x >> 27;
    x *= 0x94d049bb133111eb;
    return x ^ (x >> 31);
}

std::uint64_t rotated(std::uint64_t x, int by) {
    return (x << by) | (x >> (64 - by));
}

// Two 64-bit lanes over the bytes, each word mixed into both, the length
// last: a fingerprint, not a cipher.
std::pair<std::uint64_t, std::uint64_t> fingerprint(std::string_view bytes, std::uint64_t seed) {
    std::uint64_t a = seed ^ 0x9e3779b97f4a7c15, b = rotated(seed, 29) ^ 0xc2b2ae3d27d4eb4f;
    std::size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + at, 8);
        a = rotated((a ^ mixed(word)) * 0x87c37b91114253d5, 31);
        b = rotated(b + word, 27) * 0x4cf5ad432745937f + a;
    }
    std::uint64_t tail = 0;
    if (at < bytes.size())
        std::memcpy(&tail, bytes.data() + at, bytes.size() - at);
    a = rotated((a ^ mixed(tail ^ bytes.size())) * 0x87c37b91114253d5, 31);
    b = rotated(b + tail, 27) * 0x4cf5ad432745937f + a;
    return {mixed(a + b), mixed(b ^ rotated(a, 17))};
}

// key with its letters in lower case: A-Z, and the Latin-1 letters' UTF-8
// two-byte forms. Other scripts' cases are not folded: should two sources'
// names differ only there, the later one to take the name finds it taken.
std::string caseFolded(std::string key) {
    for (std::size_t i = 0; i < key.size(); ++i) {
        auto& c = reinterpret_cast<unsigned char&>(key[i]);
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<unsigned char>(c - 'A' + 'a');
        } else if (c == 0xC3 && i + 1 < key.size()) {
            auto& next = reinterpret_cast<unsigned char&>(key[i + 1]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97)
                next = static_cast<unsigned char>(next + 0x20);
            ++i;
        }
    }
    return key;
}

// The place for high in a table of size entries (fewer than 2^32).
std::size_t home(std::uint64_t high, std::size_t size) {
    return static_cast<std::size_t>(((high >> 32) * size) >> 32);
}

} // namespace

NameLog::~NameLog() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::uint64_t NameLog::append(std::string_view name) {
    const std::uint64_t at = inFile_ + buffer_.size();
    buffer_.append(name).push_back('\0');
    if (spilling_ && buffer_.size() >= logBuffer)
        spill();
    return at;
}

void NameLog::spill() {
    if (fd_ < 0) {
        const char* folder = std::getenv("TMPDIR");
        fd_ = ::open(folder != nullptr && *folder != '\0' ? folder : "/tmp",
                     O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            spilling_ = false;
            return;
        }
    }
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t put = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            // What is written stays readable; the rest stays here.
            spilling_ = false;
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    inFile_ += done;
    buffer_.erase(0, done);
}

std::string NameLog::read(std::uint64_t at) {
    if (at >= inFile_)
        return buffer_.c_str() + (at - inFile_);
    std::string name;
    char block[512];
    for (;;) {
        const ssize_t got = ::pread(fd_, block, sizeof block, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return name;
        const auto* end = static_cast<const char*>(std::memchr(block, '\0', std::size_t(got)));
        if (end != nullptr)
            return name.append(block, static_cast<std::size_t>(end - block));
        name.append(block, static_cast<std::size_t>(got));
        at += static_cast<std::uint64_t>(got);
    }
}

OutputNames::OutputNames() : seed_(std::random_device()()), segments_(1u << segmentBits) {
    seed_ = seed_ << 32 ^ std::random_device()();
}

void OutputNames::put(std::vector<Entry>& entries, const Entry& entry) {
    for (std::size_t at = home(entry.high, entries.size());;
         at = at + 1 == entries.size() ? 0 : at + 1)
        if (entries[at].high == 0 && entries[at].low == 0) {
            entries[at] = entry;
            return;
        }
}

void OutputNames::grow(Segment& segment) {
    std::vector<Entry> larger(segment.entries.empty() ? 64 : segment.entries.size() * 3 / 2);
    for (const Entry& entry : segment.entries)
        if (entry.high != 0 || entry.low != 0)
            put(larger, entry);
    segment.entries.swap(larger);
}

OutputNames::Claim OutputNames::claim(const std::string& key, std::string_view source) {
    auto [high, low] = fingerprint(caseFolded(key), seed_);
    low |= 1; // never free
    const std::uint64_t tag = fingerprint(key, seed_ ^ 0x5bd1e995).first >> placeBits;
    Segment& segment = segments_[low >> (64 - segmentBits)];
    // At most four in five places taken: linear probing stays short.
    if ((segment.used + 1) * 5 > segment.entries.size() * 4)
        grow(segment);
    Claim claim;
    std::uint64_t twin = 0;
    std::size_t at = home(high, segment.entries.size());
    for (;; at = at + 1 == segment.entries.size() ? 0 : at + 1) {
        const Entry& entry = segment.entries[at];
        if (entry.high == 0 && entry.low == 0)
            break;
        if (entry.high != high || entry.low != low)
            continue;
        if (entry.where >> placeBits == tag) {
            claim.kind = Claim::Kind::taken;
            claim.earlier = log_.read(entry.where & placeMask);
            return claim;
        }
        // The earliest of several: its name came first in the log.
        if (claim.kind == Claim::Kind::first || (entry.where & placeMask) < twin)
            twin = entry.where & placeMask;
        claim.kind = Claim::Kind::caseTwin;
    }
    segment.entries[at] = {high, low, tag << placeBits | (log_.append(source) & placeMask)};
    ++segment.used;
    if (claim.kind == Claim::Kind::caseTwin)
        claim.earlier = log_.read(twin);
    return claim;
}

} // namespace orv::cli
