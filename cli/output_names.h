#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv::cli {

// The sources' names a run has met, kept out of memory: appended to an
// unnamed temporary file once they outgrow a buffer, and read back by
// where they start. Should no such file be had, or writing it fail, they stay
// in memory.
class NameLog {
public:
    NameLog() = default;
    ~NameLog();
    NameLog(const NameLog&) = delete;
    NameLog& operator=(const NameLog&) = delete;

    // Keeps name (which holds no NUL byte); where it starts.
    std::uint64_t append(std::string_view name);
    std::string read(std::uint64_t at);

private:
    void spill();
    int fd_ = -1;
    bool spilling_ = true;     // until the file cannot be had or written
    std::uint64_t inFile_ = 0; // the bytes written to the file
    std::string buffer_;       // those after them
};

// The output names given out in a run, to find a later source whose output
// name an earlier source has, exactly or, for a folder that ignores case,
// but for the case of its letters. Each name costs a 128-bit fingerprint of
// its case-folded form, 24 bits of one of its exact form and where its
// source's name is in a NameLog: 24 bytes in a table, however long the name.
// The fingerprints are seeded afresh for every run, so no list of names can
// be made to collide on purpose.
class OutputNames {
public:
    OutputNames();

    struct Claim {
        enum class Kind { first, taken, caseTwin } kind = Kind::first;
        std::string earlier; // the source that has the name, or its case twin
    };
    // Claims the output name key (a pathKey) for source.
    Claim claim(const std::string& key, std::string_view source);

private:
    struct Entry {
        std::uint64_t high = 0, low = 0; // 0, 0: free
        std::uint64_t where = 0;         // exact tag << 40 | the source's place in the log
    };
    struct Segment {
        std::vector<Entry> entries;
        std::size_t used = 0;
    };
    void grow(Segment& segment);
    static void put(std::vector<Entry>& entries, const Entry& entry);

    std::uint64_t seed_;
    // Grown one at a time, so that no growth ever holds two whole tables.
    std::vector<Segment> segments_;
    NameLog log_;
};

} // namespace orv::cli
