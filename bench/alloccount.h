#pragma once
// Counts heap allocations in a benchmark program: include it in exactly one
// source file of the program, then read allocationCount() around the work.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace benchsupport {
inline std::atomic<uint64_t> g_allocations{0};
inline uint64_t allocationCount() { return g_allocations.load(std::memory_order_relaxed); }
} // namespace benchsupport

void* operator new(std::size_t size)
{
    benchsupport::g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
