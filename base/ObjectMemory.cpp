#include "ObjectMemory.h"

#include "CADExceptions.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <system_error>
#include <thread>

#ifdef RASTREL_OBJECT_MEMORY_ASAN
#include <algorithm>
#include <atomic>
#include <sanitizer/asan_interface.h>
#include <sanitizer/lsan_interface.h>
#include <vector>
#endif

namespace {

constexpr std::size_t SizeClasses = ObjectMemoryMaxPooledSize / ObjectMemoryAlignment;
constexpr std::size_t HugePageBytes = std::size_t{2} << 20;
// Chunks are made of huge pages. On some machines (virtual ones) the first touch of each 4 KiB
// page traps even after the kernel has made it resident on another thread; a huge page traps
// once for 512 of them.
constexpr std::size_t ChunkBytes = 2 * HugePageBytes;
// Chunks the supplier keeps resident ahead of use: enough to cover a loading thread while the
// supplier maps the next one.
constexpr int ReadyChunks = 3;

#ifdef RASTREL_OBJECT_MEMORY_ASAN
// A poisoned gap after every block, so an overrun into the next object is reported.
constexpr std::size_t RedZone = ObjectMemoryAlignment;
#else
constexpr std::size_t RedZone = 0;
#endif

// Whole chunks and free blocks are unaddressable for AddressSanitizer; a block is addressable
// exactly over the size asked for while it is in use.
void Poison([[maybe_unused]] void* p, [[maybe_unused]] std::size_t size)
{
#ifdef RASTREL_OBJECT_MEMORY_ASAN
    ASAN_POISON_MEMORY_REGION(p, size);
#endif
}

void Unpoison([[maybe_unused]] void* p, [[maybe_unused]] std::size_t size)
{
#ifdef RASTREL_OBJECT_MEMORY_ASAN
    ASAN_UNPOISON_MEMORY_REGION(p, size);
#endif
}

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

std::size_t RoundToHugePages(std::size_t bytes)
{
    return (bytes + HugePageBytes - 1) & ~(HugePageBytes - 1);
}

// Bytes (whole huge pages) of new memory on a huge-page boundary, with the advice that the
// kernel back it with huge pages (it may not: then it is ordinary memory); null when refused.
std::byte* MapHugePages(std::size_t bytes) noexcept
{
    const std::size_t span = bytes + HugePageBytes;
    void* p = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
    auto* raw = static_cast<std::byte*>(p);
    const auto address = reinterpret_cast<std::uintptr_t>(raw);
    const std::size_t head = RoundToHugePages(address) - address;
    std::byte* const aligned = raw + head;
    if (head > 0)
        ::munmap(raw, head);
    if (span - head > bytes)
        ::munmap(aligned + bytes, span - head - bytes);
    ::madvise(aligned, bytes, MADV_HUGEPAGE);
    return aligned;
}

// A new chunk made ready for the pool: unaddressable until blocks are cut from it.
std::byte* PoolChunk(std::byte* p) noexcept
{
    Poison(p, ChunkBytes);
#ifdef RASTREL_OBJECT_MEMORY_ASAN
    // Objects here hold heap pointers (strings, vectors); LeakSanitizer must see them. It skips
    // the poisoned, unused parts.
    __lsan_register_root_region(p, ChunkBytes);
#endif
    return p;
}

// A new chunk of ordinary pages, taken from the kernel as they are first used; null when the
// system refuses.
std::byte* MapPlainChunk() noexcept
{
    void* p = ::mmap(nullptr, ChunkBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<std::byte*>(p);
}

// A new chunk with its pages resident, of huge pages or ordinary ones; null when the system
// refuses.
std::byte* MapResidentChunk(bool huge) noexcept
{
    std::byte* p = huge ? MapHugePages(ChunkBytes) : MapPlainChunk();
    if (!p)
        return nullptr;
    // Kernels before 5.14 know no MADV_POPULATE_WRITE: each page is touched instead.
    if (::madvise(p, ChunkBytes, MADV_POPULATE_WRITE) != 0) {
        if (errno == ENOMEM) {
            ::munmap(p, ChunkBytes);
            return nullptr;
        }
        for (std::size_t i = 0; i < ChunkBytes; i += 4096)
            static_cast<volatile std::byte*>(p)[i] = std::byte{0};
    }
    return p;
}

// Which kind of pages the supplier's next chunk is made of. Huge pages are much the quicker to
// make where the kernel has them free, and on machines (virtual ones) where the first touch of
// each 4 KiB page traps even after the kernel has made it resident on another thread, a huge page
// traps once for 512 of them. Where free memory is broken up the kernel compacts it to make each
// huge page, and ordinary pages are the quicker. So each chunk is of the kind that was made
// quicker lately, the other kind being tried again now and then as the kernel's memory changes.
class TChunkKind {
public:
    bool NextHuge()
    {
        ++Made;
        for (const bool huge : {true, false})
            if (Seconds[huge] == 0)
                return huge;
        const bool quicker = Seconds[true] <= Seconds[false];
        return Made % RetryEvery == 0 ? !quicker : quicker;
    }
    // How long the last chunk of the kind took, averaged with the ones before.
    void Took(bool huge, double seconds)
    {
        double& average = Seconds[huge];
        average = average == 0 ? seconds : (3 * average + seconds) / 4;
    }

private:
    static constexpr unsigned RetryEvery = 16;
    double Seconds[2] = {};
    unsigned Made = 0;
};

// Keeps a few chunks mapped and resident on its own thread, so the page faults of fresh memory
// stay off the thread that makes the objects.
class TChunkSupplier {
public:
    TChunkSupplier()
    {
        try {
            std::thread([this] { Run(); }).detach();
        } catch (const std::system_error&) {
            // No thread: every chunk is mapped where it is needed.
        }
    }

    // A ready chunk, or one mapped here when none is. That one's pages are taken as they are
    // used: the loading thread does not wait for a whole chunk, nor for the kernel compacting
    // memory into huge pages.
    std::byte* Take()
    {
        {
            std::lock_guard lock(Mutex);
            ++Takes;
            Wanted.notify_one();
            if (ReadyCount > 0)
                return Ready[--ReadyCount];
        }
        std::byte* chunk = MapPlainChunk();
        if (!chunk)
            throw std::bad_alloc();
        return PoolChunk(chunk);
    }

private:
    void Run()
    {
        TChunkKind kind;
        std::unique_lock lock(Mutex);
        for (;;) {
            Wanted.wait(lock, [this] { return ReadyCount < ReadyChunks; });
            lock.unlock();
            const bool huge = kind.NextHuge();
            const auto t0 = std::chrono::steady_clock::now();
            std::byte* chunk = MapResidentChunk(huge);
            kind.Took(huge, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
            lock.lock();
            if (chunk) {
                Ready[ReadyCount++] = PoolChunk(chunk);
            } else {
                // Out of memory: try again once a chunk has been taken.
                const uint64_t takes = Takes;
                Wanted.wait(lock, [&] { return Takes != takes; });
            }
        }
    }

    std::mutex Mutex;
    std::condition_variable Wanted;
    std::byte* Ready[ReadyChunks] = {};
    int ReadyCount = 0;
    uint64_t Takes = 0;
};

struct TFreeBlock {
    TFreeBlock* Next;
};

#ifdef RASTREL_OBJECT_MEMORY_ASAN
// The chunks the pool has cut blocks from, so that a free knows whether a block is the pool's
// or the heap's without making the pool.
class TPoolChunks {
public:
    void Add(const std::byte* chunk)
    {
        std::lock_guard lock(Mutex);
        Bases.push_back(chunk);
    }
    bool Holds(const void* p)
    {
        const auto* b = static_cast<const std::byte*>(p);
        std::lock_guard lock(Mutex);
        return std::any_of(Bases.begin(), Bases.end(),
                           [b](const std::byte* base) { return b >= base && b < base + ChunkBytes; });
    }

private:
    std::mutex Mutex;
    std::vector<const std::byte*> Bases;
};

TPoolChunks& PoolChunks()
{
    static TPoolChunks* const chunks = new TPoolChunks;
    return *chunks;
}
#endif

// Free lists by size class (16-byte steps) and the region that new blocks are cut from: the
// rest of the current chunk, or a free block taken whole. Memory is never returned to the
// kernel: the blocks a freed drawing leaves are what the next drawing's objects reuse, which
// makes a second load as fast as the first. A request that its own list cannot serve is cut from
// the region; when the region is too small, its rest goes on the list of its size and the
// largest free block becomes the region if it is large enough, so that freed memory serves
// requests of other sizes before a new chunk is taken.
class TObjectPool {
public:
    void* Allocate(std::size_t size)
    {
        const std::size_t sizeClass = ClassOf(size);
        std::lock_guard lock(Mutex);
        void* p = Pop(sizeClass);
        if (!p) {
            const std::size_t stride = StrideOf(sizeClass);
            if (static_cast<std::size_t>(RegionEnd - Next) < stride)
                Refill(stride);
            p = Next;
            Next += stride;
        }
        Unpoison(p, size);
        return p;
    }

    void Free(void* p, std::size_t size) noexcept
    {
#ifdef RASTREL_OBJECT_MEMORY_ASAN
        // A block freed twice would sit twice in its list and later serve two objects.
        RASTREL_ASSERT(size == 0 || !__asan_address_is_poisoned(p));
#endif
        std::lock_guard lock(Mutex);
        Push(static_cast<std::byte*>(p), ClassOf(size));
    }

private:
    // 0 for 0..16 bytes, 1 for 17..32, ...
    static std::size_t ClassOf(std::size_t size) { return size == 0 ? 0 : (size - 1) / ObjectMemoryAlignment; }
    // The bytes a block of the class takes, its red zone included.
    static std::size_t StrideOf(std::size_t sizeClass)
    {
        return (sizeClass + 1) * ObjectMemoryAlignment + RedZone;
    }

    void* Pop(std::size_t sizeClass)
    {
        void* p = FreeLists[sizeClass];
        if (!p)
            return nullptr;
        Unpoison(p, sizeof(TFreeBlock));
        FreeLists[sizeClass] = static_cast<TFreeBlock*>(p)->Next;
        Poison(p, sizeof(TFreeBlock));
        if (!FreeLists[sizeClass])
            NonEmpty[sizeClass / 64] &= ~(uint64_t{1} << (sizeClass % 64));
        return p;
    }

    void Push(std::byte* p, std::size_t sizeClass) noexcept
    {
        Unpoison(p, sizeof(TFreeBlock));
        reinterpret_cast<TFreeBlock*>(p)->Next = FreeLists[sizeClass];
        FreeLists[sizeClass] = reinterpret_cast<TFreeBlock*>(p);
        Poison(p, StrideOf(sizeClass) - RedZone);
        NonEmpty[sizeClass / 64] |= uint64_t{1} << (sizeClass % 64);
    }

    // The class of the largest free block; SizeClasses when none is free.
    std::size_t LargestFree() const
    {
        for (std::size_t word = std::size(NonEmpty); word-- > 0;)
            if (NonEmpty[word])
                return word * 64 + 63 - static_cast<std::size_t>(__builtin_clzll(NonEmpty[word]));
        return SizeClasses;
    }

    // A new region of at least stride bytes; the rest of the old one is kept as a free block.
    void Refill(std::size_t stride)
    {
        const auto rest = static_cast<std::size_t>(RegionEnd - Next);
        if (rest >= StrideOf(0))
            Push(Next, (rest - RedZone) / ObjectMemoryAlignment - 1);
        // Should no new chunk come, the rest is the free block's alone.
        Next = RegionEnd = nullptr;
        const std::size_t largest = LargestFree();
        if (largest < SizeClasses && StrideOf(largest) >= stride) {
            Next = static_cast<std::byte*>(Pop(largest));
            RegionEnd = Next + StrideOf(largest);
            return;
        }
        Next = Supplier.Take();
        RegionEnd = Next + ChunkBytes;
#ifdef RASTREL_OBJECT_MEMORY_ASAN
        PoolChunks().Add(Next);
#endif
    }

    std::mutex Mutex;
    TFreeBlock* FreeLists[SizeClasses] = {};
    // One bit a class, set while its list holds a block.
    uint64_t NonEmpty[(SizeClasses + 63) / 64] = {};
    std::byte* Next = nullptr;
    std::byte* RegionEnd = nullptr;
    TChunkSupplier Supplier;
};

// Never destroyed: the supplier thread runs until the process ends, and objects freed during
// exit (static drawings) still find their pool.
TObjectPool& Pool()
{
    static TObjectPool* const pool = new TObjectPool;
    return *pool;
}

}  // namespace

#ifdef RASTREL_OBJECT_MEMORY_ASAN
namespace {
std::atomic<bool> PoolInUse{false};
}

void UsePooledObjectMemory(bool use) noexcept
{
    PoolInUse = use;
}
#endif

void* AllocateObjectMemory(std::size_t size)
{
#ifdef RASTREL_OBJECT_MEMORY_ASAN
    if (!PoolInUse)
        return ::operator new(size);
#endif
    if (size > ObjectMemoryMaxPooledSize)
        return ::operator new(size);
    return Pool().Allocate(size);
}

void* AllocateLargeArray(std::size_t bytes, bool zeroed)
{
#ifndef RASTREL_OBJECT_MEMORY_ASAN
    if (bytes >= LargeArrayMinBytes) {
        void* p = MapHugePages(RoundToHugePages(bytes));
        if (!p)
            throw std::bad_alloc();
        return p;
    }
#endif
    void* p = ::operator new(bytes);
    if (zeroed)
        std::memset(p, 0, bytes);
    return p;
}

void FreeLargeArray(void* p, [[maybe_unused]] std::size_t bytes) noexcept
{
    if (!p)
        return;
#ifndef RASTREL_OBJECT_MEMORY_ASAN
    if (bytes >= LargeArrayMinBytes) {
        ::munmap(p, RoundToHugePages(bytes));
        return;
    }
#endif
    ::operator delete(p);
}

void FreeObjectMemory(void* p, std::size_t size) noexcept
{
    if (!p)
        return;
#ifdef RASTREL_OBJECT_MEMORY_ASAN
    // The heap's blocks go back to it (which reports a second free), the pool's to the pool,
    // whatever the switch says now.
    if (!PoolChunks().Holds(p)) {
        ::operator delete(p);
        return;
    }
#endif
    if (size > ObjectMemoryMaxPooledSize)
        ::operator delete(p);
    else
        Pool().Free(p, size);
}
