#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Taking the fuzzer's bytes apart: a few control bytes first, the rest as data.
namespace quillmark::fuzz {

class TInput {
  public:
    TInput(const std::uint8_t* data, std::size_t size) : FData(reinterpret_cast<const char*>(data), size) {}

    // The next control byte, or 0 when none are left.
    std::uint8_t Byte() {
        if (FData.empty()) return 0;
        const auto byte = static_cast<std::uint8_t>(FData.front());
        FData.remove_prefix(1);
        return byte;
    }

    std::string_view Rest() const { return FData; }

    // The rest read as UTF-16 code units (little-endian pairs).
    std::u16string RestAsUtf16() const {
        std::u16string text(FData.size() / 2, u'\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char16_t>(static_cast<std::uint8_t>(FData[2 * i]) |
                                            static_cast<std::uint8_t>(FData[2 * i + 1]) << 8);
        return text;
    }

  private:
    std::string_view FData;
};

// Stops the run loudly: libFuzzer reports it as a crash with the input.
[[noreturn]] inline void Fail(const char* what) {
    __builtin_trap();
    (void)what;
}

inline void Check(bool condition, const char* what) {
    if (!condition) Fail(what);
}

}  // namespace quillmark::fuzz
