#include "platform/host/MemoryReserve.h"

#include <atomic>
#include <sys/mman.h>

namespace orra {
namespace {

// Address space, not memory in use: the pages are never touched. Mapped apart from the
// allocator's heap, so that giving it up returns it to the system whatever the heap holds.
constexpr size_t kReserveBytes = size_t(32) << 20;

std::atomic<void*> g_reserve{nullptr};

void* mapReserve() noexcept
{
    void* p = ::mmap(nullptr, kReserveBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

struct InitialReserve {
    InitialReserve() { g_reserve.store(mapReserve()); }
} g_initial;

}   // namespace

void releaseMemoryReserve() noexcept
{
    if (void* p = g_reserve.exchange(nullptr)) ::munmap(p, kReserveBytes);
}

void restoreMemoryReserve() noexcept
{
    if (g_reserve.load()) return;
    void* p = mapReserve();
    if (!p) return;
    void* expected = nullptr;
    if (!g_reserve.compare_exchange_strong(expected, p)) ::munmap(p, kReserveBytes);
}

}   // namespace orra
