#pragma once
// Memory for drawing objects and their point arrays. A large drawing makes millions of small
// objects at once; taking that much fresh memory from the kernel page by page in the loading
// thread costs about as much as the load itself. Small blocks therefore come from large chunks
// whose pages a background thread has already made resident, and freed blocks are kept for the
// next objects of their size.
#include <cstddef>
#include <new>

// Defined in AddressSanitizer builds (g++ and clang): the pool then poisons what is not in use.
#if defined(__SANITIZE_ADDRESS__)
#define RASTREL_OBJECT_MEMORY_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RASTREL_OBJECT_MEMORY_ASAN 1
#endif
#endif

// Every block starts on this boundary, enough for any object or point type of the model.
constexpr std::size_t ObjectMemoryAlignment = 16;
// Larger blocks are plain operator new / delete; up to this size they are pooled. A traced
// polyline's point array fits.
constexpr std::size_t ObjectMemoryMaxPooledSize = 4096;

// A block of at least size bytes, aligned to ObjectMemoryAlignment; throws std::bad_alloc when
// the system has no memory left. Size 0 gives a distinct block too.
void* AllocateObjectMemory(std::size_t size);
// Gives back a block of AllocateObjectMemory with the size it was asked for; null is ignored.
void FreeObjectMemory(void* p, std::size_t size) noexcept;

// Arrays sized once for many objects (a drawing's object list and ID index). From a size of
// LargeArrayMinBytes on they are mapped in whole 2 MiB pages that the kernel may back with huge
// pages: on some machines each first touch of a 4 KiB page costs some ten microseconds, which
// for the arrays of a million objects is as much as filling them. Smaller ones come from
// operator new, and so do all of them in AddressSanitizer builds, where LeakSanitizer must see
// the object pointers they hold.
constexpr std::size_t LargeArrayMinBytes = std::size_t{1} << 20;
void* AllocateLargeArray(std::size_t bytes);
void FreeLargeArray(void* p, std::size_t bytes) noexcept;

// The allocator of std::vector for such arrays.
template <class T>
struct TLargeArrayAllocator {
    using value_type = T;
    TLargeArrayAllocator() = default;
    template <class U>
    TLargeArrayAllocator(const TLargeArrayAllocator<U>&) noexcept {}
    T* allocate(std::size_t n)
    {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(AllocateLargeArray(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { FreeLargeArray(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const TLargeArrayAllocator<U>&) const noexcept { return true; }
};

#ifdef RASTREL_OBJECT_MEMORY_ASAN
// In AddressSanitizer builds blocks come straight from operator new and go back to operator
// delete: the sanitizer then holds freed blocks back and reports a use after free with the
// stacks that allocated and freed the block, where the pool would hand the block out again at
// once. The pool's own tests turn it on for their length; a block goes back where it came from
// whatever the setting is then.
void UsePooledObjectMemory(bool use) noexcept;
#endif
