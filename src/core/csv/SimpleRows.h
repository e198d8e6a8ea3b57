#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

#include "csv/ByteCsvMachine.h"

// On a lambda called in the loop over the blocks: inlined there, it is
// compiled for the loop's vector instructions (bit counts among them).
#if defined(__GNUC__)
#define QUILLMARK_IN_BLOCK_LOOP __attribute__((always_inline))
#else
#define QUILLMARK_IN_BLOCK_LOOP
#endif

namespace quillmark {

namespace detail {

// Where the bytes of interest to ReadSimpleRows are among 64 bytes: bit k
// stands for byte k. `Odd` holds the control characters other than the tab,
// LF and CR (VT among them), and DEL.
struct TBlockMasks {
    std::uint64_t Quote = 0;
    std::uint64_t Comma = 0;
    std::uint64_t LineFeed = 0;
    std::uint64_t Return = 0;
    std::uint64_t Odd = 0;
};

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx512bw"))) inline TBlockMasks BlockMasksAvx512(const char* bytes) {
    const __m512i chunk = _mm512_loadu_si512(bytes);
    TBlockMasks masks;
    masks.Quote = _mm512_cmpeq_epi8_mask(chunk, _mm512_set1_epi8('"'));
    masks.Comma = _mm512_cmpeq_epi8_mask(chunk, _mm512_set1_epi8(','));
    masks.LineFeed = _mm512_cmpeq_epi8_mask(chunk, _mm512_set1_epi8('\n'));
    masks.Return = _mm512_cmpeq_epi8_mask(chunk, _mm512_set1_epi8('\r'));
    const std::uint64_t tab = _mm512_cmpeq_epi8_mask(chunk, _mm512_set1_epi8('\t'));
    masks.Odd =
        (_mm512_cmple_epu8_mask(chunk, _mm512_set1_epi8(0x1F)) & ~(tab | masks.LineFeed | masks.Return)) |
        _mm512_cmpeq_epi8_mask(chunk, _mm512_set1_epi8(0x7F));
    return masks;
}

// Lambdas would not take on the target: the halves are spelt out.
__attribute__((target("avx2"))) inline std::uint64_t Bits(__m256i hit, int part) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(hit))) << (32 * part);
}

__attribute__((target("avx2"))) inline TBlockMasks BlockMasksAvx2(const char* bytes) {
    TBlockMasks masks;
    for (int part = 0; part < 2; ++part) {
        const __m256i chunk = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 32 * part));
        const __m256i control = _mm256_cmpeq_epi8(_mm256_min_epu8(chunk, _mm256_set1_epi8(0x1F)), chunk);
        const __m256i quote = _mm256_cmpeq_epi8(chunk, _mm256_set1_epi8('"'));
        const __m256i comma = _mm256_cmpeq_epi8(chunk, _mm256_set1_epi8(','));
        const __m256i lineFeed = _mm256_cmpeq_epi8(chunk, _mm256_set1_epi8('\n'));
        const __m256i carriage = _mm256_cmpeq_epi8(chunk, _mm256_set1_epi8('\r'));
        const __m256i tab = _mm256_cmpeq_epi8(chunk, _mm256_set1_epi8('\t'));
        const __m256i del = _mm256_cmpeq_epi8(chunk, _mm256_set1_epi8('\x7F'));
        masks.Quote |= Bits(quote, part);
        masks.Comma |= Bits(comma, part);
        masks.LineFeed |= Bits(lineFeed, part);
        masks.Return |= Bits(carriage, part);
        masks.Odd |= Bits(
            _mm256_or_si256(
                _mm256_andnot_si256(_mm256_or_si256(tab, _mm256_or_si256(lineFeed, carriage)), control), del),
            part);
    }
    return masks;
}
#endif

inline TBlockMasks BlockMasks(const char* bytes) {
    TBlockMasks masks;
#if defined(__SSE2__) || defined(_M_X64)
    for (int part = 0; part < 4; ++part) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
        const auto bits = [&](__m128i hit) {
            return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(hit)))
                   << (16 * part);
        };
        const auto equal = [&](char byte) { return _mm_cmpeq_epi8(chunk, _mm_set1_epi8(byte)); };
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(chunk, _mm_set1_epi8(0x1F)), chunk);
        const __m128i lineFeed = equal('\n'), carriage = equal('\r');
        masks.Quote |= bits(equal('"'));
        masks.Comma |= bits(equal(','));
        masks.LineFeed |= bits(lineFeed);
        masks.Return |= bits(carriage);
        masks.Odd |= bits(_mm_or_si128(
            _mm_andnot_si128(_mm_or_si128(equal('\t'), _mm_or_si128(lineFeed, carriage)), control),
            equal('\x7F')));
    }
#else
    for (int k = 0; k < 64; ++k) {
        const std::uint64_t bit = std::uint64_t{1} << k;
        const auto byte = static_cast<std::uint8_t>(bytes[k]);
        if (byte == '"') masks.Quote |= bit;
        if (byte == ',') masks.Comma |= bit;
        if (byte == '\n') masks.LineFeed |= bit;
        if (byte == '\r') masks.Return |= bit;
        if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F) masks.Odd |= bit;
    }
#endif
    return masks;
}

// Bit k is set when an odd number of bits 0 to k of `bits` are.
inline std::uint64_t PrefixXor(std::uint64_t bits) {
    for (int shift = 1; shift < 64; shift *= 2)
        bits ^= bits << shift;
    return bits;
}

// Bits 0 to k.
inline std::uint64_t BitsUpTo(int k) {
    return (std::uint64_t{2} << k) - 1;
}

// What the bytes of a block are to rows that begin where the scan began:
// the separators outside quotes (commas and LFs), the LFs among them that
// end rows, and the bytes that keep a row from being simple.
struct TBlockClasses {
    std::uint64_t Separators;
    std::uint64_t LineEnds;
    std::uint64_t Odd;
    std::uint64_t Openings;  // quotation marks right at the start of a field
    // Where a quoted field shows that it would read otherwise unquoted:
    // the first comma or LF inside its quotes (the others tell nothing
    // more), and an opening mark followed by a doubled one; openings among
    // the block's last two bytes, whose next marks are not seen here, are
    // suspects too.
    std::uint64_t Suspects;
};

// Classifies block after block, carrying what a block tells the next.
class TBlockClassifier {
  public:
    // `quoteParity` is PrefixXor(masks.Quote); `after` the byte after the block.
    QUILLMARK_IN_BLOCK_LOOP TBlockClasses Classify(const TBlockMasks& masks, std::uint64_t quoteParity,
                                                   char after) {
        const std::uint64_t quoted = quoteParity ^ FInQuotes;
        FInQuotes = static_cast<std::uint64_t>(static_cast<std::int64_t>(quoted) >> 63);
        TBlockClasses classes;
        classes.Separators = (masks.Comma | masks.LineFeed) & ~quoted;
        classes.LineEnds = masks.LineFeed & ~quoted;
        const std::uint64_t afterBits = kAfterBits[static_cast<std::uint8_t>(after)];
        const std::uint64_t nextIsLineFeed = (masks.LineFeed >> 1) | ((afterBits & 1) << 63);
        const std::uint64_t nextEndsQuote =
            ((masks.Comma | masks.LineFeed | masks.Return | masks.Quote) >> 1) | ((afterBits >> 1) << 63);
        // An opening mark begins a field or follows a closing one (a doubled
        // mark); a closing mark ends the field or is followed by the mark it
        // is doubled with.
        classes.Openings = masks.Quote & ((classes.Separators << 1) | FAfterSeparator);
        // The first comma or LF after an opening is where the carry of the
        // opening's bit, added to the bits of all other bytes, stops; a
        // carry out of the block goes on in the next.
        const std::uint64_t inside = (masks.Comma | masks.LineFeed) & quoted;
        const std::uint64_t partial = classes.Openings + ~inside;
        const std::uint64_t sum = partial + FFirstInsidePending;
        FFirstInsidePending = static_cast<std::uint64_t>(partial < classes.Openings) | (sum < partial);
        classes.Suspects = (sum & inside) | (classes.Openings & (masks.Quote >> 1) & (masks.Quote >> 2)) |
                           (classes.Openings & (std::uint64_t{3} << 62));
        const std::uint64_t opening = masks.Quote & quoted, closing = masks.Quote & ~quoted;
        classes.Odd =
            masks.Odd | (masks.Return & (quoted | ~nextIsLineFeed)) |
            (opening & ~((classes.Separators << 1) | FAfterSeparator | (masks.Quote << 1) | FAfterQuote)) |
            (closing & ~nextEndsQuote);
        FAfterSeparator = classes.Separators >> 63;
        FAfterQuote = masks.Quote >> 63;
        return classes;
    }

  private:
    // For the byte after a block: bit 0 when it is LF, bit 1 when it may
    // follow a closing quotation mark (a comma, LF, CR or another mark).
    static constexpr auto kAfterBits = [] {
        std::array<std::uint8_t, 256> bits{};
        bits['\n'] = 3;
        bits[','] = bits['\r'] = bits['"'] = 2;
        return bits;
    }();

    std::uint64_t FInQuotes = 0;            // all ones when the block before ended inside quotes
    std::uint64_t FAfterSeparator = 1;      // bit 0: the byte before the block ends a field
    std::uint64_t FAfterQuote = 0;          // bit 0: the byte before the block is a quotation mark
    std::uint64_t FFirstInsidePending = 0;  // 1 when an opening's first comma or LF is still to come
};

// Asks for the bytes a few pages ahead of a block: the classification takes
// too little time per block for the processor to see the stream coming,
// and waits for each block's bytes without it.
inline void Prefetch(const char* block) {
#if defined(__GNUC__)
    __builtin_prefetch(block + 4096);
#elif defined(_M_X64)
    _mm_prefetch(block + 4096, _MM_HINT_T0);
#endif
}

#if defined(__x86_64__) && defined(__GNUC__)
// PrefixXor in one carry-less multiplication.
__attribute__((target("pclmul"))) inline std::uint64_t PrefixXorClmul(std::uint64_t bits) {
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(
        _mm_clmulepi64_si128(_mm_set_epi64x(0, static_cast<long long>(bits)), _mm_set1_epi8(-1), 0)));
}

// ForEachBlock's loop, once for each set of vector instructions: the target
// of a function cannot be a template argument.
template <class TBlock>
__attribute__((target("avx512bw,pclmul"))) void ForEachBlockAvx512(const char* data, std::size_t start,
                                                                   std::size_t size, TBlock& block) {
    TBlockClassifier classifier;
    for (std::size_t at = start; size - at > 64; at += 64) {
        Prefetch(data + at);
        const TBlockMasks masks = BlockMasksAvx512(data + at);
        if (!block(at, classifier.Classify(masks, PrefixXorClmul(masks.Quote), data[at + 64]))) return;
    }
}

template <class TBlock>
__attribute__((target("avx2,pclmul"))) void ForEachBlockAvx2(const char* data, std::size_t start,
                                                             std::size_t size, TBlock& block) {
    TBlockClassifier classifier;
    for (std::size_t at = start; size - at > 64; at += 64) {
        Prefetch(data + at);
        const TBlockMasks masks = BlockMasksAvx2(data + at);
        if (!block(at, classifier.Classify(masks, PrefixXorClmul(masks.Quote), data[at + 64]))) return;
    }
}
#endif

// Calls block(at, classes) for the blocks of 64 bytes from `start` on that
// have a byte after them, until it returns false. The masks are made in
// the loop itself, with the widest vectors the processor has.
template <class TBlock>
void ForEachBlock(const char* data, std::size_t start, std::size_t size, TBlock&& block) {
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool clmul = __builtin_cpu_supports("pclmul");
    if (const int level = clmul ? VectorLevel() : 0; level == 2) {
        ForEachBlockAvx512(data, start, size, block);
        return;
    } else if (level == 1) {
        ForEachBlockAvx2(data, start, size, block);
        return;
    }
#endif
    TBlockClassifier classifier;
    for (std::size_t at = start; size - at > 64; at += 64) {
        Prefetch(data + at);
        const TBlockMasks masks = BlockMasks(data + at);
        if (!block(at, classifier.Classify(masks, PrefixXor(masks.Quote), data[at + 64]))) return;
    }
}

}  // namespace detail

// How many of the `count` fields of a simple row (bytes `start` to `end` of
// `data`, its line end left out) come before and up to the last that holds
// content: 0 when none does. An empty field at the end is nothing or "\"\"",
// right after the comma that ends the field before it; no field that holds
// content ends in a comma, nor in "\"\"" right after one.
inline std::size_t SimpleFieldsWithContent(const char* data, std::size_t start, std::size_t end,
                                           std::size_t count) {
    while (count > 0) {
        std::size_t from = end;  // where the field begins when it is empty
        if (end - start >= 2 && data[end - 1] == '"' && data[end - 2] == '"' &&
            (end - 2 == start || data[end - 3] == ',')) {
            from = end - 2;
        } else if (end != start && data[end - 1] != ',') {
            return count;
        }
        if (--count > 0) end = from - 1;
    }
    return 0;
}

// SimpleFieldsWithContent for those who keep the widest row's: a row no
// wider than `widest` that is longer than as many empty fields ("\"\"" each)
// and their commas holds content, and its last field with content does not
// matter. Returns at most `widest` and at least 1 for such a row.
inline std::size_t SimpleFieldsWithContent(const char* data, std::size_t start, std::size_t end,
                                           std::size_t count, std::size_t widest) {
    if (count <= widest && end - start >= 3 * count) return count;
    return SimpleFieldsWithContent(data, start, end, count);
}

// A block's part of a simple row: where the block starts, the row's
// separators in it (the LF that ends the row among them), the quotation
// marks in it that open a field of the row, and how many separators of the
// row come before the block.
struct TRowWord {
    std::size_t Block;
    std::uint64_t Separators;
    std::uint64_t Openings;
    std::size_t Before;
};

// A simple row as ReadSimpleRows hands it over: its words are those of the
// blocks that hold a separator or an opening mark of it, in order.
struct TSimpleRow {
    std::size_t Start;  // where the row begins
    std::size_t End;    // where its line end begins, at the CR or the LF
    std::size_t Next;   // where the next row begins
    std::size_t Count;  // its fields
    const TRowWord* Words;
    std::size_t WordCount;
};

// Where the fields of a simple row begin and end, for fields asked for in
// increasing order (a field may be asked for again): the cost is that of the
// words and separators passed on the way, not of the fields after them.
class TFieldFinder {
  public:
    explicit TFieldFinder(const TSimpleRow& row)
        : FRow(row), FBits(row.WordCount > 0 ? row.Words[0].Separators : 0) {}

    std::size_t Begin(std::size_t field) { return field == 0 ? FRow.Start : Separator(field - 1) + 1; }
    std::size_t End(std::size_t field) { return field + 1 == FRow.Count ? FRow.End : Separator(field); }

  private:
    // Separator `n` of the row, counted from 0.
    std::size_t Separator(std::size_t n) {
        if (FWord + 1 < FRow.WordCount && FRow.Words[FWord + 1].Before <= n) {
            do {
                ++FWord;
            } while (FWord + 1 < FRow.WordCount && FRow.Words[FWord + 1].Before <= n);
            FBits = FRow.Words[FWord].Separators;
            FIndex = FRow.Words[FWord].Before;
        }
        for (; FIndex < n; ++FIndex)
            FBits &= FBits - 1;
        return FRow.Words[FWord].Block + static_cast<std::size_t>(std::countr_zero(FBits));
    }

    const TSimpleRow& FRow;
    std::size_t FWord = 0;
    std::uint64_t FBits;     // the separators of word FWord from separator FIndex on
    std::size_t FIndex = 0;  // the separator at the lowest bit of FBits
};

// Reads on over the rows most CSV files are made of, 64 bytes at a time,
// for TByteCsvMachine's actions to take whole. A row is simple when each of
// its fields is plain (no quotation mark) or quoted (a mark opens it, the
// closing mark comes right before the comma or line end, and every mark
// inside is doubled); when no byte is a control character other than the
// tab, and LF inside quotes; and when a CR comes only right before the LF
// that ends the row. The machine reads a simple row as its fields' content
// (a quoted field without its own marks, doubled marks halved) and its line
// end as one break; CR LF, LF ("a,b\n") and fields like "\"x\"\"y\",,\"\""
// are all simple, "a\"b", "\"x\"y" and "a\r b" are not.
//
// `start` must begin a row, where the machine is at FieldStart after a line
// break or at the start of the text. For each simple row that ends before
// the last 64 bytes of `text` it calls row(simpleRow), whose words are kept
// in `words`. It stops at the first row that is not simple, is not whole,
// spans more than kMostRowWords words or for which `row` returns false, and
// returns where that row starts.
inline constexpr std::size_t kMostRowWords = std::size_t{1} << 14;

template <class TRow>
std::size_t ReadSimpleRows(std::string_view text, std::size_t start, std::vector<TRowWord>& words,
                           TRow&& row) {
    const char* const data = text.data();
    TSimpleRow simple{start, 0, 0, 0, nullptr, 0};
    std::size_t count = 0;  // separators of the row in the words so far
    words.clear();
    detail::ForEachBlock(data, start, text.size(),
                         [&](std::size_t block, detail::TBlockClasses classes) QUILLMARK_IN_BLOCK_LOOP {
                             std::uint64_t separators = classes.Separators, openings = classes.Openings;
                             for (std::uint64_t lineEnds = classes.LineEnds; lineEnds != 0;
                                  lineEnds &= lineEnds - 1) {
                                 const int k = std::countr_zero(lineEnds);
                                 const std::uint64_t upTo = detail::BitsUpTo(k);
                                 if ((classes.Odd & upTo) != 0) return false;
                                 classes.Odd &= ~upTo;
                                 words.push_back({block, separators & upTo, openings & upTo, count});
                                 count += static_cast<std::size_t>(std::popcount(separators & upTo));
                                 separators &= ~upTo;
                                 openings &= ~upTo;
                                 std::size_t end = block + static_cast<std::size_t>(k);
                                 simple.Next = end + 1;
                                 if (end > simple.Start && data[end - 1] == '\r') --end;
                                 simple.End = end;
                                 simple.Count = count;
                                 simple.Words = words.data();
                                 simple.WordCount = words.size();
                                 if (!row(static_cast<const TSimpleRow&>(simple))) return false;
                                 simple.Start = simple.Next;
                                 count = 0;
                                 words.clear();
                             }
                             // What is left belongs to the row not yet ended.
                             if ((separators | openings) != 0) {
                                 if (words.size() == kMostRowWords) return false;
                                 words.push_back({block, separators, openings, count});
                                 count += static_cast<std::size_t>(std::popcount(separators));
                             }
                             return classes.Odd == 0;
                         });
    return simple.Start;
}

namespace detail {

// CountSimpleRows without suspects.
struct TNoSuspects {
    void operator()(std::size_t, std::size_t) const {}
};

}  // namespace detail

// ReadSimpleRows for those who only count fields: calls
// row(start, count, lastStart, lastEnd, next) with the number of fields and
// where the last one begins and ends, at a cost per row, not per field.
// With `suspect`, first calls suspect(field, at) for each suspect (see
// TBlockClasses) of the row, `field` the index of its field; a row that then
// proves not to be simple ends the scan without row(), and the caller drops
// what it gathered of it.
template <class TRow, class TSuspect = detail::TNoSuspects>
std::size_t CountSimpleRows(std::string_view text, std::size_t start, TRow&& row, TSuspect&& suspect = {}) {
    constexpr bool kSuspects = !std::is_same_v<std::remove_cvref_t<TSuspect>, detail::TNoSuspects>;
    const char* const data = text.data();
    std::size_t rowStart = start;
    std::size_t count = 0;          // separators of the row in the blocks before
    std::size_t lastSeparator = 0;  // the last of them, if any
    // The suspects among `bits`, of the row whose separators in the block
    // are those of `separators` before them.
    const auto handSuspects = [&](std::size_t block, std::uint64_t bits,
                                  std::uint64_t separators) QUILLMARK_IN_BLOCK_LOOP {
        for (; bits != 0; bits &= bits - 1) {
            const int k = std::countr_zero(bits);
            suspect(
                count + static_cast<std::size_t>(std::popcount(separators & ((std::uint64_t{1} << k) - 1))),
                block + static_cast<std::size_t>(k));
        }
    };
    detail::ForEachBlock(
        data, start, text.size(),
        [&](std::size_t block, detail::TBlockClasses classes) QUILLMARK_IN_BLOCK_LOOP {
            std::uint64_t separators = classes.Separators;
            std::uint64_t suspects = kSuspects ? classes.Suspects : 0;
            for (std::uint64_t lineEnds = classes.LineEnds; lineEnds != 0; lineEnds &= lineEnds - 1) {
                const int k = std::countr_zero(lineEnds);
                const std::uint64_t upTo = detail::BitsUpTo(k);
                if ((classes.Odd & upTo) != 0) return false;
                classes.Odd &= ~upTo;
                if constexpr (kSuspects) {
                    if ((suspects & upTo) != 0) handSuspects(block, suspects & upTo, separators);
                    suspects &= ~upTo;
                }
                // The row's separators in this block, the LF among them.
                const std::uint64_t before = separators & upTo & ~(std::uint64_t{1} << k);
                separators &= ~upTo;
                const std::size_t fields = count + static_cast<std::size_t>(std::popcount(before)) + 1;
                const std::size_t lastStart =
                    before != 0  ? block + static_cast<std::size_t>(63 - std::countl_zero(before)) + 1
                    : count != 0 ? lastSeparator + 1
                                 : rowStart;
                std::size_t end = block + static_cast<std::size_t>(k);
                const std::size_t next = end + 1;
                if (end > rowStart && data[end - 1] == '\r') --end;
                if (!row(rowStart, fields, lastStart, end, next)) return false;
                rowStart = next;
                count = 0;
            }
            if constexpr (kSuspects) {
                if (classes.Odd != 0) return false;
                if (suspects != 0) handSuspects(block, suspects, separators);
            }
            if (separators != 0) {
                count += static_cast<std::size_t>(std::popcount(separators));
                lastSeparator = block + static_cast<std::size_t>(63 - std::countl_zero(separators));
            }
            return classes.Odd == 0;
        });
    return rowStart;
}

}  // namespace quillmark
