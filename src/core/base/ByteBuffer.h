#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace quillmark {

// Bytes filled in by hand: the first `Size` of the `Capacity` at `Data`
// hold something; the rest is not cleared when the buffer grows. Buffers of
// megabytes are laid out so that the system can back them with large pages
// (faulting in 4 KiB pages one by one costs more than the bytes do).
struct TByteBuffer {
    struct TFree {
        void operator()(char* data) const;
    };

    std::unique_ptr<char[], TFree> Data;
    std::size_t Size = 0;
    std::size_t Capacity = 0;

    std::string_view View() const { return {Data.get(), Size}; }
    // Room for `room` bytes past Size: at least twice as much as before
    // when it has to grow. Throws std::bad_alloc.
    void Reserve(std::size_t room) {
        if (Capacity - Size < room) Grow(room);
    }

  private:
    void Grow(std::size_t room);
};

}  // namespace quillmark
