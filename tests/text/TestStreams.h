#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "base/Stream.h"
#include "support/TestFiles.h"

namespace quillmark::test {

// `size` bytes repeating `pattern`, made as they are read, so a test can
// offer more bytes than it could hold. Reads stop at `delivered`, which lets
// the stream promise more than it gives.
class TPatternStream final : public TStream {
  public:
    TPatternStream(std::uint64_t size, std::string pattern,
                   std::uint64_t delivered = std::numeric_limits<std::uint64_t>::max())
        : FSize(size), FEnd(std::min(size, delivered)), FPattern(std::move(pattern)) {}

    std::uint64_t Size() override { return FSize; }
    std::uint64_t Position() override { return FPosition; }
    void Seek(std::uint64_t position) override { FPosition = std::min(position, FSize); }
    std::size_t Read(void* buffer, std::size_t count) override {
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, FEnd - std::min(FPosition, FEnd)));
        for (std::size_t i = 0; i < n; ++i)
            static_cast<char*>(buffer)[i] = FPattern[(FPosition + i) % FPattern.size()];
        FPosition += n;
        return n;
    }

  private:
    std::uint64_t FSize, FEnd;
    std::string FPattern;
    std::uint64_t FPosition = 0;
};

// Runs `body` on a memory stream and on a file stream over the same bytes.
template <typename TBody>
void ForEachStreamKind(const std::string& bytes, TBody body) {
    TMemoryStream memory(bytes);
    body(static_cast<TStream&>(memory));
    SCOPED_TRACE("file stream");
    TTempDir dir;
    WriteBytes(dir / "sample.csv", bytes);
    TFileStream file(dir.File("sample.csv"));
    body(static_cast<TStream&>(file));
}

}  // namespace quillmark::test
