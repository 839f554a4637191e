#include "io/temporary_files.h"

#include <array>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace orv {
namespace {

// Fixed slots with the path copied in, so that the handler never touches
// memory that another thread may be freeing.
enum SlotState : int { freeSlot, busySlot, liveSlot };
struct Slot {
    std::atomic<int> state{freeSlot};
    char path[PATH_MAX] = {};
};
constexpr std::size_t slotCount = temporarySlotCount;
// All zero bytes, made by the loader: no start-up code touches the 4 MiB.
constinit std::array<Slot, slotCount> slots{};

constexpr int cleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void removeAndDie(int signalNumber) {
    for (Slot& slot : slots) {
        if (slot.state.load(std::memory_order_acquire) == liveSlot)
            ::unlink(slot.path);
    }
    // SA_RESETHAND has restored the default action: the signal, unblocked
    // when the handler returns, ends the program as the caller expects.
    ::raise(signalNumber);
}

} // namespace

int TemporaryFileList::remember(const std::string& path) {
    if (path.size() >= PATH_MAX)
        return -1;
    for (std::size_t i = 0; i < slotCount; ++i) {
        int expected = freeSlot;
        if (slots[i].state.compare_exchange_strong(expected, busySlot, std::memory_order_acquire)) {
            std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
            slots[i].state.store(liveSlot, std::memory_order_release);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TemporaryFileList::forget(int slot) {
    if (slot >= 0)
        slots[static_cast<std::size_t>(slot)].state.store(freeSlot, std::memory_order_release);
}

void removeTemporariesOnSignal() {
    struct sigaction action {};
    action.sa_handler = removeAndDie;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    // One cleanup at a time: a second signal waits until the first has finished.
    for (const int s : cleanedSignals)
        sigaddset(&action.sa_mask, s);
    for (const int s : cleanedSignals) {
        struct sigaction previous {};
        // A signal ignored by whoever started us (nohup) stays ignored.
        if (::sigaction(s, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(s, &action, nullptr);
    }
}

} // namespace orv
