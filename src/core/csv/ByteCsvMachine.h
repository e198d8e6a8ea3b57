#pragma once

#include <array>
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string_view>
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "csv/CsvSplitter.h"

namespace quillmark {

namespace detail {

// What a byte is to the machine. Bytes from 0x80 up belong to multibyte
// characters and are content; the control characters the machine drops
// (CR among them) are kDrop, the tab is content.
enum TByteClass : std::uint8_t { kContent, kDrop, kLineFeed, kVerticalTab, kComma, kQuote };

constexpr auto kByteClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (unsigned byte = 0; byte < 0x20; ++byte)
        classes[byte] = kDrop;
    classes['\t'] = kContent;
    classes['\n'] = kLineFeed;
    classes['\v'] = kVerticalTab;
    classes[','] = kComma;
    classes['"'] = kQuote;
    classes[0x7F] = kDrop;
    return classes;
}();

inline std::uint8_t ClassOf(char byte) {
    return kByteClasses[static_cast<std::uint8_t>(byte)];
}

// Bit k is set when byte k of the 64 at `bytes` is anything but content
// other than the tab: a control character, DEL, a comma or a quotation mark.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) inline std::uint64_t SpecialMaskAvx2(const char* bytes) {
    const __m256i below = _mm256_set1_epi8(0x1F), del = _mm256_set1_epi8(0x7F), comma = _mm256_set1_epi8(','),
                  quote = _mm256_set1_epi8('"');
    std::uint64_t mask = 0;
    for (int part = 0; part < 2; ++part) {
        const __m256i chunk = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 32 * part));
        const __m256i hit = _mm256_or_si256(
            _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_min_epu8(chunk, below), chunk),
                            _mm256_cmpeq_epi8(chunk, del)),
            _mm256_or_si256(_mm256_cmpeq_epi8(chunk, comma), _mm256_cmpeq_epi8(chunk, quote)));
        mask |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(hit)))
                << (32 * part);
    }
    return mask;
}

__attribute__((target("avx512bw"))) inline std::uint64_t SpecialMaskAvx512(const char* bytes) {
    const __m512i chunk = _mm512_loadu_si512(bytes);
    return _mm512_cmple_epu8_mask(chunk, _mm512_set1_epi8(0x1F)) |
           _mm512_cmpeq_epi8_mask(chunk, _mm512_set1_epi8(0x7F)) |
           _mm512_cmpeq_epi8_mask(chunk, _mm512_set1_epi8(',')) |
           _mm512_cmpeq_epi8_mask(chunk, _mm512_set1_epi8('"'));
}
#endif

// The widest vector instructions the processor has for SpecialMask: 0 none
// beyond SSE2, 1 AVX2, 2 AVX-512BW.
inline int VectorLevel() {
#if defined(__x86_64__) && defined(__GNUC__)
    static const int level = __builtin_cpu_supports("avx512bw") ? 2 : __builtin_cpu_supports("avx2") ? 1 : 0;
    return level;
#else
    return 0;
#endif
}

inline std::uint64_t SpecialMask(const char* bytes) {
    std::uint64_t mask = 0;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i below = _mm_set1_epi8(0x1F), del = _mm_set1_epi8(0x7F), comma = _mm_set1_epi8(','),
                  quote = _mm_set1_epi8('"');
    for (int part = 0; part < 4; ++part) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
        const __m128i hit = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(chunk, below), chunk), _mm_cmpeq_epi8(chunk, del)),
            _mm_or_si128(_mm_cmpeq_epi8(chunk, comma), _mm_cmpeq_epi8(chunk, quote)));
        mask |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(hit))) << (16 * part);
    }
#else
    for (int k = 0; k < 64; ++k)
        if (ClassOf(bytes[k]) != kContent || bytes[k] == '\t') mask |= std::uint64_t{1} << k;
#endif
    return mask;
}

// Finds the special bytes of a piece, 64 at a time: each block is looked at
// once however many fields it holds.
class TSpecialScanner {
  public:
    TSpecialScanner(const char* data, std::size_t size)
        : FData(data), FSize(size), FBlock(size + 64), FLevel(VectorLevel()) {}

    // The first special byte at or after `i` (at most the size), or the size.
    std::size_t Next(std::size_t i) {
        for (;;) {
            // Wraps to a large number when `i` is before the block.
            const std::size_t offset = i - FBlock;
            if (offset < 64) {
                if (const std::uint64_t mask = FMask >> offset; mask != 0)
                    return i + static_cast<std::size_t>(std::countr_zero(mask));
                i = FBlock + 64;
            }
            if (FSize - i < 64) {
                while (i < FSize && ClassOf(FData[i]) == kContent && FData[i] != '\t')
                    ++i;
                return i;
            }
            FBlock = i;
#if defined(__x86_64__) && defined(__GNUC__)
            FMask = FLevel == 2   ? SpecialMaskAvx512(FData + i)
                    : FLevel == 1 ? SpecialMaskAvx2(FData + i)
                                  : SpecialMask(FData + i);
#else
            FMask = SpecialMask(FData + i);
#endif
        }
    }

  private:
    const char* FData;
    std::size_t FSize;
    std::size_t FBlock;  // where the 64 bytes of FMask start
    std::uint64_t FMask = 0;
    int FLevel;
};

// Actions that take whole rows themselves (see TByteCsvMachine).
template <class TActions>
concept TakesRows = requires(TActions& actions, std::string_view text, std::size_t at) {
    { actions.ReadRows(text, at) } -> std::same_as<std::size_t>;
};

}  // namespace detail

// The CSV state machine over text whose seven-bit bytes are the characters
// themselves and hold no U+0080: UTF-8 as TUtf8Cleaner leaves it, or code
// page 932 as TShiftJisRewriter writes it. It does what TUtf8CsvSplitter
// does, but tells `actions` what happens instead of calling a sink:
//
//   Store(bytes, size, remaining)  content bytes for the field the machine is in
//   StoreQuote(remaining)          a quotation mark as content
//   StoreLineFeed(remaining)       a line feed as content (a VT inside quotes)
//   NextField()                    a comma outside quotes
//   NextRow()                      a line break outside quotes
//
// `remaining` counts the bytes of the piece from the stored ones on. Stores
// are never empty. Bytes of multibyte characters are content.
//
// Actions may also take whole rows: where a row begins, the machine calls
// ReadRows(text, at) if they have it, and goes on from the position it
// returns, at the start of a row (see ReadSimpleRows).
template <class TActions>
class TByteCsvMachine {
  public:
    explicit TByteCsvMachine(TActions& actions) : FActions(actions) {}

    void Feed(std::string_view text);
    TCsvState State() const { return FState; }

  private:
    TActions& FActions;
    TCsvState FState = TCsvState::FieldStart;
};

template <class TActions>
void TByteCsvMachine<TActions>::Feed(std::string_view text) {
    using enum TCsvState;
    using namespace detail;
    const char* const data = text.data();
    const std::size_t size = text.size();
    TSpecialScanner scanner(data, size);
    TCsvState state = FState;
    std::size_t i = 0;

    auto store = [&](std::size_t from, std::size_t to) {
        if (from != to) FActions.Store(data + from, to - from, size - from);
    };
    // A line break ends the row; `i` is past it.
    auto nextRow = [&] {
        FActions.NextRow();
        if constexpr (detail::TakesRows<TActions>) i = FActions.ReadRows(text, i);
    };
    // A separator after a field's content.
    auto separate = [&](std::uint8_t byteClass) {
        state = FieldStart;
        if (byteClass == kComma) {
            FActions.NextField();
        } else {
            nextRow();
        }
    };

    if constexpr (TakesRows<TActions>) {
        if (state == FieldStart) i = FActions.ReadRows(text, i);
    }

    while (i < size) {
        switch (state) {
            case FieldStart:
                switch (ClassOf(data[i])) {
                    case kQuote:
                        state = Quoted;
                        ++i;
                        break;
                    case kComma:
                        FActions.NextField();
                        ++i;
                        break;
                    case kLineFeed:
                    case kVerticalTab:
                        ++i;
                        nextRow();
                        break;
                    case kDrop:
                        // CR LF, the usual line break, in one step.
                        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n') {
                            i += 2;
                            nextRow();
                        } else {
                            ++i;
                        }
                        break;
                    default:
                        // Spaces too: nothing is trimmed. Plain reads this byte again.
                        state = Plain;
                        break;
                }
                break;

            case Plain:
            case AfterQuote: {
                // Runs of content up to a separator. A quotation mark is an
                // ordinary character in Plain; in AfterQuote it is the second
                // mark of a doubled pair, which reopens the quotes and is kept.
                std::size_t run = i;
                for (;;) {
                    const std::size_t at = scanner.Next(i);
                    if (at == size) {
                        store(run, size);
                        i = size;
                        break;
                    }
                    const std::uint8_t byteClass = ClassOf(data[at]);
                    i = at + 1;
                    if (byteClass == kContent) continue;
                    store(run, at);
                    run = i;
                    if (byteClass == kDrop) {
                        if (data[at] != '\r' || i == size || data[i] != '\n') continue;
                        // CR LF, the usual line break, in one step.
                        ++i;
                        separate(kLineFeed);
                    } else if (byteClass == kQuote) {
                        FActions.StoreQuote(size - at);
                        if (state == Plain) continue;
                        state = Quoted;
                        break;
                    } else {
                        separate(byteClass);
                    }
                    // Most fields begin with content: read on in Plain
                    // without going round the states.
                    if (i == size || ClassOf(data[i]) != kContent) break;
                    state = Plain;
                    run = i;
                }
                break;
            }

            case Quoted: {
                // Commas and line feeds belong to the value until the closing mark.
                std::size_t run = i;
                for (;;) {
                    const std::size_t at = scanner.Next(i);
                    if (at == size) {
                        store(run, size);
                        i = size;
                        break;
                    }
                    const std::uint8_t byteClass = ClassOf(data[at]);
                    i = at + 1;
                    if (byteClass == kContent || byteClass == kComma || byteClass == kLineFeed) continue;
                    store(run, at);
                    run = i;
                    if (byteClass == kQuote) {
                        state = AfterQuote;
                        break;
                    }
                    // Stored as the line feed it counts as.
                    if (byteClass == kVerticalTab) FActions.StoreLineFeed(size - at);
                }
                break;
            }
        }
    }
    FState = state;
}

}  // namespace quillmark
