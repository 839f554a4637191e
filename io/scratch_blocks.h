#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orv {

// The blocks a conversion streams through, ioBlockSize bytes each. They are
// allocated once per thread and reused for every file it converts: a batch
// of small documents would otherwise pay page faults and system calls for
// fresh blocks in every file. A thread's block for a role is held by one
// ScratchBlock at a time.
enum class ScratchRole {
    input,    // a source or decoded text file read forward
    backward, // a long segment or line read again, back to front
    fillA,    // the two halves of a BackgroundWriter
    fillB,
    copy, // a small private file's bytes, kept while it is read back
    count,
};

// The calling thread's block for a role, held until destroyed (on the same
// thread). Taking a role the thread holds already throws std::logic_error:
// two users of one block would overwrite each other's bytes.
class ScratchBlock {
public:
    explicit ScratchBlock(ScratchRole role);
    ~ScratchBlock();
    ScratchBlock(const ScratchBlock&) = delete;
    ScratchBlock& operator=(const ScratchBlock&) = delete;

    char* get() const { return block_; }
    template <class Byte> Byte* as() const { return reinterpret_cast<Byte*>(block_); }

private:
    bool& held_;
    char* block_;
};

// Before a block read forward is filled again: moves its unread bytes
// [pos, end) to its start, counts the bytes dropped into offset (where
// block[0] stands in the file), and returns how many were kept.
template <class Byte>
std::size_t keepUnread(Byte* block, const Byte*& pos, const Byte*& end, std::uint64_t& offset) {
    const auto keep = static_cast<std::size_t>(end - pos);
    if (pos != block) {
        std::memmove(block, pos, keep);
        offset += static_cast<std::size_t>(pos - block);
        pos = block;
        end = block + keep;
    }
    return keep;
}

} // namespace orv
