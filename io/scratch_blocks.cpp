#include "io/scratch_blocks.h"

#include "io/block_sizes.h"

#include <array>
#include <cstddef>
#include <memory>

namespace orv {

char* scratchBlock(ScratchRole role) {
    thread_local std::array<std::unique_ptr<char[]>, static_cast<std::size_t>(ScratchRole::count)>
        blocks;
    auto& block = blocks[static_cast<std::size_t>(role)];
    if (!block)
        block = std::make_unique_for_overwrite<char[]>(ioBlockSize);
    return block.get();
}

} // namespace orv
