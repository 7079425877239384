#pragma once
// Memory kept back for the moment an allocation fails. A failed allocation (std::bad_alloc)
// becomes the run-time error 7 "Out of memory" of the script or statement that made it; giving
// up the reserve first leaves room to build that error, unwind and report it, instead of a
// second failure ending the process.

namespace orra {

// Gives the reserve back to the system (when it is still held).
void releaseMemoryReserve() noexcept;

// Takes the reserve again when memory allows; nothing happens when it cannot.
void restoreMemoryReserve() noexcept;

}   // namespace orra
