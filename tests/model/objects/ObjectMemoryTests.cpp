#include "ObjectMemory.h"
#include "QVSys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#ifdef RASTREL_OBJECT_MEMORY_ASAN
// The sanitizer's own heap answers whether a block is its; g++ 12 ships no header declaring it.
extern "C" int __sanitizer_get_ownership(const volatile void* p);
#endif

namespace {

bool Aligned(const void* p) { return reinterpret_cast<uintptr_t>(p) % ObjectMemoryAlignment == 0; }

// A drawing object well larger than its base, so a delete that used the base's size would put
// its block in another size class.
class TBigObject : public TGraphicObject {
public:
    explicit TBigObject(int32_t id, bool fail = false) : TGraphicObject(id)
    {
        if (fail)
            throw std::runtime_error("refused");
    }
    double Payload[40] = {};
};

// The pool's tests run with the pool on: sanitizer builds otherwise hand every block to the
// heap, whose quarantine lets AddressSanitizer report a use after free with its stacks.
class ObjectMemory : public testing::Test {
protected:
#ifdef RASTREL_OBJECT_MEMORY_ASAN
    void SetUp() override
    {
        UsePooledObjectMemory(true);
    }
    void TearDown() override
    {
        UsePooledObjectMemory(false);
    }
#endif
};

}  // namespace

TEST_F(ObjectMemory, FreedBlockServesTheNextRequestOfItsSizeClassOnly)
{
    struct Case {
        const char* name;
        size_t freed, asked;
        bool reused;
    };
    const Case cases[] = {
        {"same size", 48, 48, true},
        {"same 16-byte class", 33, 48, true},
        {"zero and sixteen share a class", 0, 16, true},
        {"largest pooled size", ObjectMemoryMaxPooledSize, ObjectMemoryMaxPooledSize - 15, true},
        {"next class up", 48, 49, false},
        {"next class down", 49, 48, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        void* first = AllocateObjectMemory(c.freed);
        FreeObjectMemory(first, c.freed);
        void* second = AllocateObjectMemory(c.asked);
        EXPECT_EQ(second == first, c.reused);
        FreeObjectMemory(second, c.asked);
    }
}

// A drawing freed leaves its large point arrays in the pool; the next drawing's objects of other
// sizes are cut from them rather than from new memory. Only the rest of the chunk in use when the
// arrays were freed (a few MiB at most) may serve before them.
TEST_F(ObjectMemory, FreedBlocksServeOtherSizesBeforeNewMemory)
{
    constexpr size_t Freed = 256, Asked = 4000;
    std::vector<uint8_t*> arrays;
    for (size_t i = 0; i < Freed; ++i)
        arrays.push_back(static_cast<uint8_t*>(AllocateObjectMemory(ObjectMemoryMaxPooledSize)));
    const auto inFreed = [&arrays](const uint8_t* p) {
        return std::any_of(arrays.begin(), arrays.end(),
                           [p](const uint8_t* a) { return p >= a && p < a + ObjectMemoryMaxPooledSize; });
    };
    for (uint8_t* a : arrays)
        FreeObjectMemory(a, ObjectMemoryMaxPooledSize);
    const size_t count = Freed * ObjectMemoryMaxPooledSize * 3 / 4 / Asked;
    std::vector<void*> blocks;
    size_t reused = 0;
    for (size_t i = 0; i < count; ++i) {
        auto* p = static_cast<uint8_t*>(AllocateObjectMemory(Asked));
        std::memset(p, 1, Asked);
        reused += inFreed(p) ? 1 : 0;
        blocks.push_back(p);
    }
    EXPECT_GT(reused, count / 2);
    for (void* p : blocks)
        FreeObjectMemory(p, Asked);
}

TEST_F(ObjectMemory, BlocksInUseAreAlignedAndNeverOverlap)
{
    std::vector<std::pair<uint8_t*, size_t>> blocks;
    for (size_t size = 0; size <= 2 * ObjectMemoryMaxPooledSize; size += size < 100 ? 1 : 97)
        blocks.emplace_back(static_cast<uint8_t*>(AllocateObjectMemory(size)), size);
    for (auto& [p, size] : blocks) {
        EXPECT_TRUE(Aligned(p)) << size;
        std::memset(p, static_cast<int>(size & 0xFF), size);
    }
    std::vector<std::pair<uint8_t*, size_t>> byAddress = blocks;
    std::sort(byAddress.begin(), byAddress.end());
    for (size_t i = 1; i < byAddress.size(); ++i)
        EXPECT_LE(byAddress[i - 1].first + std::max<size_t>(byAddress[i - 1].second, 1), byAddress[i].first);
    for (auto& [p, size] : blocks) {
        EXPECT_EQ(std::count(p, p + size, static_cast<uint8_t>(size & 0xFF)), static_cast<ptrdiff_t>(size)) << size;
        FreeObjectMemory(p, size);
    }
}

#ifdef RASTREL_OBJECT_MEMORY_ASAN
TEST_F(ObjectMemory, OnlyLargeBlocksComeFromTheHeap)
{
    struct Case {
        const char* name;
        size_t size;
        bool heap;
    };
    const Case cases[] = {
        {"small", 24, false},
        {"largest pooled", ObjectMemoryMaxPooledSize, false},
        {"one byte more", ObjectMemoryMaxPooledSize + 1, true},
        {"a big point array", 65535 * 32, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        void* p = AllocateObjectMemory(c.size);
        EXPECT_EQ(__sanitizer_get_ownership(p) != 0, c.heap);
        FreeObjectMemory(p, c.size);
    }
}

// The pool's supplier thread is running: a plain fork would copy the process mid-flight.
class ObjectMemoryDeathTest : public ObjectMemory {
protected:
    void SetUp() override
    {
        ObjectMemory::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
};

TEST_F(ObjectMemoryDeathTest, SanitizerCatchesMisuseOfPooledBlocks)
{
    struct Case {
        const char* name;
        void (*misuse)();
    };
    const Case cases[] = {
        {"read after free",
         [] {
             auto* p = static_cast<volatile uint8_t*>(AllocateObjectMemory(40));
             FreeObjectMemory(const_cast<uint8_t*>(p), 40);
             (void)p[0];
         }},
        {"write past the size asked for",
         [] {
             auto* p = static_cast<volatile uint8_t*>(AllocateObjectMemory(40));
             p[40] = 1;
         }},
        {"write into the next block",
         [] {
             auto* p = static_cast<volatile uint8_t*>(AllocateObjectMemory(48));
             AllocateObjectMemory(48);
             p[48] = 1;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DEATH(c.misuse(), "use-after-poison");
    }
    void* p = AllocateObjectMemory(40);
    FreeObjectMemory(p, 40);
    EXPECT_DEATH(FreeObjectMemory(p, 40), "internal error");
}

// Outside the pool's own tests a freed drawing object is held back by the sanitizer: a stale
// pointer to it is reported with the stacks that made and freed it. The pool handed the block
// to the next object at once, and the stale pointer read a live object without a word.
TEST(ObjectMemorySanitizer, UseOfAFreedObjectIsReportedWithItsStacks)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            auto* stale = new TBigObject(1);
            delete stale;
            auto next = std::make_unique<TBigObject>(2); // the pool would reuse the block here
            static_cast<void>(next);
            std::printf("%d\n", static_cast<volatile int32_t&>(stale->ID));
        },
        "heap-use-after-free(.|\n)*freed by thread(.|\n)*previously allocated by thread");
    // A block made while the pool was on goes back to the pool after it is turned off.
    UsePooledObjectMemory(true);
    void* pooled = AllocateObjectMemory(40);
    UsePooledObjectMemory(false);
    FreeObjectMemory(pooled, 40);
    UsePooledObjectMemory(true);
    EXPECT_EQ(AllocateObjectMemory(40), pooled);
    FreeObjectMemory(pooled, 40);
    UsePooledObjectMemory(false);
}
#endif

TEST_F(ObjectMemory, ThreadsAllocatingAndFreeingTogetherKeepTheirBlocks)
{
    constexpr int Threads = 4;
    constexpr int Steps = 20000;
    // Blocks a thread hands to the next one, which frees them: frees from other threads.
    std::vector<std::vector<std::pair<uint8_t*, size_t>>> handedOn(Threads);
    std::vector<int> corrupted(Threads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([t, &handedOn, &corrupted] {
            std::mt19937 rng(static_cast<unsigned>(t + 1));
            std::uniform_int_distribution<size_t> size(1, ObjectMemoryMaxPooledSize + 64);
            const auto mark = static_cast<uint8_t>(t + 1);
            std::vector<std::pair<uint8_t*, size_t>> live;
            const auto release = [&](size_t i) {
                auto [p, n] = live[i];
                if (std::count(p, p + n, mark) != static_cast<ptrdiff_t>(n))
                    ++corrupted[static_cast<size_t>(t)];
                FreeObjectMemory(p, n);
                live[i] = live.back();
                live.pop_back();
            };
            for (int step = 0; step < Steps; ++step) {
                if (live.size() < 64 || rng() % 2 == 0) {
                    const size_t n = size(rng);
                    auto* p = static_cast<uint8_t*>(AllocateObjectMemory(n));
                    std::memset(p, mark, n);
                    live.emplace_back(p, n);
                } else {
                    release(rng() % live.size());
                }
            }
            while (live.size() > 32)
                release(live.size() - 1);
            handedOn[static_cast<size_t>(t)] = std::move(live);
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(corrupted, std::vector<int>(Threads, 0));
    for (int t = 0; t < Threads; ++t) {
        std::thread([&blocks = handedOn[static_cast<size_t>((t + 1) % Threads)]] {
            for (auto [p, n] : blocks)
                FreeObjectMemory(p, n);
        }).join();
    }
}

TEST_F(ObjectMemory, DrawingObjectIsFreedWithItsOwnClassSize)
{
    std::unique_ptr<TGraphicObject> object = std::make_unique<TBigObject>(1);
    void* const block = object.get();
    EXPECT_TRUE(Aligned(block));
    object.reset();
    void* const next = AllocateObjectMemory(sizeof(TBigObject));
    EXPECT_EQ(next, block);
    FreeObjectMemory(next, sizeof(TBigObject));
}

TEST_F(ObjectMemory, ObjectWhoseConstructorFailsGivesItsBlockBack)
{
    void* const block = AllocateObjectMemory(sizeof(TBigObject));
    FreeObjectMemory(block, sizeof(TBigObject));
    EXPECT_THROW(std::make_unique<TBigObject>(1, true), std::runtime_error);
    auto object = std::make_unique<TBigObject>(2);
    EXPECT_EQ(static_cast<void*>(object.get()), block);
}

// A zeroed array is all zero bytes whatever memory it comes from (the heap's reused blocks, or
// the kernel's fresh pages for a large one), again after one of its size has been written and
// freed; a plain large array keeps what is written into it.
TEST(LargeArrays, ZeroedArraysStartAsZeroBytesAndBothKindsHoldWhatIsWritten)
{
    for (const size_t n : {size_t{100}, LargeArrayMinBytes / sizeof(uint64_t) + 3}) {
        SCOPED_TRACE(n);
        for (int round = 0; round < 2; ++round) {
            std::vector<uint64_t, TZeroedArrayAllocator<uint64_t>> zeroed(n);
            EXPECT_TRUE(std::all_of(zeroed.begin(), zeroed.end(), [](uint64_t v) { return v == 0; }));
            std::fill(zeroed.begin(), zeroed.end(), ~uint64_t{0});
            std::vector<uint64_t, TLargeArrayAllocator<uint64_t>> plain;
            for (size_t i = 0; i < n; ++i)
                plain.push_back(i * 7);
            for (size_t i = 0; i < n; i += n / 10)
                EXPECT_EQ(plain[i], i * 7);
        }
    }
}
