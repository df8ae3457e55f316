#pragma once
// Memory for drawing objects and their point arrays. A large drawing makes millions of small
// objects at once; taking that much fresh memory from the kernel page by page in the loading
// thread costs about as much as the load itself. Small blocks therefore come from large chunks
// whose pages a background thread has already made resident, and freed blocks are kept for the
// next objects of their size.
#include <cstddef>

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
