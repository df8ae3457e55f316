#pragma once
// Memory for drawing objects and their point arrays. A large drawing makes millions of small
// objects at once; taking that much fresh memory from the kernel page by page in the loading
// thread costs about as much as the load itself. Small blocks therefore come from large chunks
// of huge pages that a background thread has already made resident, and freed blocks are kept
// for the next objects of their size, or cut up for others before a new chunk is taken.
#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

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
// Larger blocks are plain operator new / delete; up to this size they are pooled. The point
// array of a traced polyline fits, and so does that of an imported path with dozens of curves
// flattened (2730 points of a 2D polyline).
constexpr std::size_t ObjectMemoryMaxPooledSize = std::size_t{64} << 10;

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
constexpr std::size_t LargeArrayMinBytes = std::size_t{4} << 20;
// Zeroed asks for zero bytes: memory fresh from the kernel is zero already, and only a block
// from operator new is cleared.
void* AllocateLargeArray(std::size_t bytes, bool zeroed = false);
void FreeLargeArray(void* p, std::size_t bytes) noexcept;

// The allocator of std::vector for such arrays.
template <class T> struct TLargeArrayAllocator {
    using value_type = T;
    TLargeArrayAllocator() = default;
    template <class U> TLargeArrayAllocator(const TLargeArrayAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return Allocate(n, false); }
    void deallocate(T* p, std::size_t n) noexcept { FreeLargeArray(p, n * sizeof(T)); }
    template <class U> bool operator==(const TLargeArrayAllocator<U>&) const noexcept { return true; }

protected:
    static T* Allocate(std::size_t n, bool zeroed)
    {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(AllocateLargeArray(n * sizeof(T), zeroed));
    }
};

// The same for an array whose new elements are zero bytes (a hash table whose vacant slots are
// zero): making it writes nothing, so its pages are taken only as they are used.
template <class T> struct TZeroedArrayAllocator : TLargeArrayAllocator<T> {
    static_assert(std::is_trivially_default_constructible_v<T> && std::is_trivially_destructible_v<T>);
    TZeroedArrayAllocator() = default;
    template <class U> TZeroedArrayAllocator(const TZeroedArrayAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return this->Allocate(n, true); }
    // A new element keeps the zero bytes it was given.
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... A> void construct(U* p, A&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<A>(args)...);
    }
};

#ifdef RASTREL_OBJECT_MEMORY_ASAN
// In AddressSanitizer builds blocks come straight from operator new and go back to operator
// delete: the sanitizer then holds freed blocks back and reports a use after free with the
// stacks that allocated and freed the block, where the pool would hand the block out again at
// once. The pool's own tests turn it on for their length; a block goes back where it came from
// whatever the setting is then.
void UsePooledObjectMemory(bool use) noexcept;
#endif
