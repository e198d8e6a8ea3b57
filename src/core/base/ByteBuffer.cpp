#include "base/ByteBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#if defined(_WIN32)
#include <malloc.h>
#elif defined(__linux__)
#include <sys/mman.h>
#endif

namespace quillmark {

namespace {

// The size of a large page, and the smallest buffer worth one.
constexpr std::size_t kLargePage = std::size_t{2} << 20;
constexpr std::size_t kLargeFrom = std::size_t{1} << 20;

// Memory aligned to `alignment` (a power of two dividing `size`), freed by
// TByteBuffer::TFree; null when there is none.
char* Allocate(std::size_t size, std::size_t alignment) {
#if defined(_WIN32)
    return static_cast<char*>(::_aligned_malloc(size, alignment));
#else
    return static_cast<char*>(std::aligned_alloc(alignment, size));
#endif
}

}  // namespace

void TByteBuffer::TFree::operator()(char* data) const {
#if defined(_WIN32)
    ::_aligned_free(data);
#else
    std::free(data);
#endif
}

void TByteBuffer::Grow(std::size_t room) {
    std::size_t capacity = std::max(Capacity * 2, Size + room);
    const bool large = capacity >= kLargeFrom;
    const std::size_t alignment = large ? kLargePage : 64;
    capacity = (capacity + alignment - 1) / alignment * alignment;
    auto* data = Allocate(capacity, alignment);
    if (data == nullptr) throw std::bad_alloc();
#if defined(__linux__)
    // Only advice: where large pages are not to be had, small ones serve.
    if (large) ::madvise(data, capacity, MADV_HUGEPAGE);
#endif
    if (Size > 0) std::memcpy(data, Data.get(), Size);
    Data.reset(data);
    Capacity = capacity;
}

}  // namespace quillmark
