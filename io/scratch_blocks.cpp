#include "io/scratch_blocks.h"

#include "io/block_sizes.h"

#include <array>
#include <cstddef>
#include <memory>
#include <stdexcept>

namespace orv {
namespace {

constexpr auto roles = static_cast<std::size_t>(ScratchRole::count);

struct ThreadBlocks {
    std::array<std::unique_ptr<char[]>, roles> blocks;
    std::array<bool, roles> held{};
};

thread_local ThreadBlocks threadBlocks;

bool& heldFlag(ScratchRole role) {
    bool& held = threadBlocks.held[static_cast<std::size_t>(role)];
    if (held)
        throw std::logic_error("scratch block taken twice");
    return held;
}

char* blockFor(ScratchRole role) {
    auto& block = threadBlocks.blocks[static_cast<std::size_t>(role)];
    if (!block)
        block = std::make_unique_for_overwrite<char[]>(ioBlockSize);
    return block.get();
}

} // namespace

ScratchBlock::ScratchBlock(ScratchRole role) : held_(heldFlag(role)), block_(blockFor(role)) {
    held_ = true;
}

ScratchBlock::~ScratchBlock() {
    held_ = false;
}

} // namespace orv
