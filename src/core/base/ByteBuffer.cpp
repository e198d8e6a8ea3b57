#include "base/ByteBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace quillmark {

namespace {

// The size of a large page, and the smallest buffer worth one.
constexpr std::size_t kLargePage = std::size_t{2} << 20;
constexpr std::size_t kLargeFrom = std::size_t{1} << 20;

}  // namespace

void TByteBuffer::Grow(std::size_t room) {
    std::size_t capacity = std::max(Capacity * 2, Size + room);
    const bool large = capacity >= kLargeFrom;
    if (large) capacity = (capacity + kLargePage - 1) / kLargePage * kLargePage;
    auto* data = static_cast<char*>(large ? std::aligned_alloc(kLargePage, capacity) : std::malloc(capacity));
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
