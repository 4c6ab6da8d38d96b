#pragma once
// An allocator for the library's big arrays (fingerprints, the sentence
// table): a block of 8 MB or more is mapped on its own, aligned to a large
// page and marked for large pages, so that filling it costs a fault per 2 MB
// rather than per 4 KB. On the development machine a fresh small page costs
// about 18 µs: reading the 128 MB of fingerprints of 50 M characters into
// small pages took 0.6 s, into large ones 0.1 s. Smaller blocks, and systems
// without large pages, take the ordinary heap.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace matching {

template <class T> struct LargePageAllocator {
    using value_type = T;
    LargePageAllocator() = default;
    template <class U> LargePageAllocator(const LargePageAllocator<U>&) noexcept { }

    T* allocate(size_t n)
    {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (n * sizeof(T) >= kThreshold)
            return static_cast<T*>(mapLarge(mapped(n)));
#endif
        return std::allocator<T>().allocate(n);
    }

    void deallocate(T* p, size_t n) noexcept
    {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (n * sizeof(T) >= kThreshold) {
            munmap(p, mapped(n));
            return;
        }
#endif
        std::allocator<T>().deallocate(p, n);
    }

    friend bool operator==(const LargePageAllocator&, const LargePageAllocator&) { return true; }

private:
    static constexpr size_t kLarge = size_t(2) << 20;
    static constexpr size_t kThreshold = size_t(8) << 20;
    static size_t mapped(size_t n) { return (n * sizeof(T) + kLarge - 1) & ~(kLarge - 1); }

#if defined(__linux__) && defined(MADV_HUGEPAGE)
    static void* mapLarge(size_t size)
    {
        void* raw = mmap(nullptr, size + kLarge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED)
            throw std::bad_alloc();
        const auto start = reinterpret_cast<uintptr_t>(raw);
        const uintptr_t aligned = (start + kLarge - 1) & ~(kLarge - 1);
        if (aligned > start)
            munmap(raw, aligned - start);
        if (const uintptr_t tail = start + size + kLarge - (aligned + size); tail > 0)
            munmap(reinterpret_cast<void*>(aligned + size), tail);
        madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
        return reinterpret_cast<void*>(aligned);
    }
#endif
};

}  // namespace matching
