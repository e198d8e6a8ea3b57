#include "csv/CsvSplitter.h"

#include <array>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif
#include <type_traits>

namespace quillmark {
namespace {

// What a code unit is to the machine once the pre-filter has looked at it.
enum class TUnitClass : std::uint8_t { Skip, LineFeed, Comma, Quote, Other };

enum class TAction : std::uint8_t { None, Store, NextField, NextRow };

struct TStep {
    TCsvState Next;
    TAction Action;
};

constexpr TUnitClass Classify(char16_t unit) {
    switch (unit) {
        case 0x0A:
        case 0x0B:  // a vertical tab counts as a line feed, also inside quotes
            return TUnitClass::LineFeed;
        case 0x09:
            return TUnitClass::Other;
        case u',':
            return TUnitClass::Comma;
        case u'"':
            return TUnitClass::Quote;
        case 0x7F:
        case 0x80:
            return TUnitClass::Skip;
        default:
            return unit < 0x20 ? TUnitClass::Skip : TUnitClass::Other;
    }
}

constexpr TStep Transition(TCsvState state, TUnitClass unit) {
    using enum TCsvState;
    switch (state) {
        case FieldStart:
            switch (unit) {
                case TUnitClass::Quote:
                    return {Quoted, TAction::None};
                case TUnitClass::Comma:
                    return {FieldStart, TAction::NextField};
                case TUnitClass::LineFeed:
                    return {FieldStart, TAction::NextRow};
                default:
                    return {Plain, TAction::Store};  // spaces too: nothing is trimmed
            }
        case Plain:
            switch (unit) {
                case TUnitClass::Comma:
                    return {FieldStart, TAction::NextField};
                case TUnitClass::LineFeed:
                    return {FieldStart, TAction::NextRow};
                default:
                    return {Plain, TAction::Store};  // a quotation mark here is an ordinary character
            }
        case Quoted:
            // Commas and line feeds belong to the value until the closing mark.
            if (unit == TUnitClass::Quote) return {AfterQuote, TAction::None};
            return {Quoted, TAction::Store};
        case AfterQuote:
            switch (unit) {
                // The second mark of a doubled pair reopens the quotes and is kept.
                case TUnitClass::Quote:
                    return {Quoted, TAction::Store};
                case TUnitClass::Comma:
                    return {FieldStart, TAction::NextField};
                case TUnitClass::LineFeed:
                    return {FieldStart, TAction::NextRow};
                // Text after the closing mark stays in the same field.
                default:
                    return {AfterQuote, TAction::Store};
            }
    }
    return {state, TAction::None};
}

constexpr auto kClasses = [] {
    std::array<TUnitClass, 256> classes{};
    for (unsigned unit = 0; unit < classes.size(); ++unit)
        classes[unit] = Classify(static_cast<char16_t>(unit));
    return classes;
}();

// The class of a code unit. In UTF-8 every byte from 0x80 up belongs to a
// multibyte character and is stored (U+0080 is gone before the machine).
TUnitClass ClassOf(char16_t unit) {
    return unit < kClasses.size() ? kClasses[unit] : TUnitClass::Other;
}
TUnitClass ClassOf(char unit) {
    const auto byte = static_cast<std::uint8_t>(unit);
    return byte < 0x80 ? kClasses[byte] : TUnitClass::Other;
}

// Units that end a run of units stored as they are, by state: in Plain and
// AfterQuote the separators (and in AfterQuote the quotation mark), in
// Quoted the quotation mark; in all of them VT and the units the pre-filter
// drops. Units from 0x81 up never end a run.
constexpr auto kRunEnds = [] {
    std::array<std::array<bool, 0x81>, 4> ends{};
    for (unsigned state = 0; state < 4; ++state) {
        for (unsigned unit = 0; unit < 0x81; ++unit) {
            const TUnitClass unitClass = Classify(static_cast<char16_t>(unit));
            const TStep step = Transition(static_cast<TCsvState>(state), unitClass);
            ends[state][unit] = unitClass == TUnitClass::Skip || unit == 0x0B ||
                                step.Action != TAction::Store || step.Next != static_cast<TCsvState>(state);
        }
    }
    return ends;
}();

// The first unit at or after `i` that may end a run in some state: a
// control character, DEL, U+0080, a comma or a quotation mark. Sixteen bytes
// or eight UTF-16 units are looked at in one step.
template <class TUnit>
std::size_t NextCandidate(std::basic_string_view<TUnit> text, std::size_t i) {
    const std::size_t size = text.size();
#if defined(__SSE2__) || defined(_M_X64)
    if constexpr (sizeof(TUnit) == 1) {
        const __m128i below = _mm_set1_epi8(0x1F), del = _mm_set1_epi8(0x7F), comma = _mm_set1_epi8(','),
                      quote = _mm_set1_epi8('"');
        for (; i + 16 <= size; i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
            const __m128i hit = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(bytes, below), bytes), _mm_cmpeq_epi8(bytes, del)),
                _mm_or_si128(_mm_cmpeq_epi8(bytes, comma), _mm_cmpeq_epi8(bytes, quote)));
            if (const int mask = _mm_movemask_epi8(hit); mask != 0) return i + __builtin_ctz(mask);
        }
    } else {
        // Units compared as signed after flipping the sign bit, so that
        // U+8000 and above count as large.
        const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
        const __m128i limit = _mm_set1_epi16(static_cast<short>(0x20 ^ 0x8000));
        const __m128i del = _mm_set1_epi16(0x7F), c1 = _mm_set1_epi16(0x80), comma = _mm_set1_epi16(','),
                      quote = _mm_set1_epi16('"');
        for (; i + 8 <= size; i += 8) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
            const __m128i hit = _mm_or_si128(
                _mm_or_si128(_mm_cmplt_epi16(_mm_xor_si128(units, flip), limit),
                             _mm_or_si128(_mm_cmpeq_epi16(units, del), _mm_cmpeq_epi16(units, c1))),
                _mm_or_si128(_mm_cmpeq_epi16(units, comma), _mm_cmpeq_epi16(units, quote)));
            if (const int mask = _mm_movemask_epi8(hit); mask != 0) return i + __builtin_ctz(mask) / 2;
        }
    }
#endif
    for (; i < size; ++i) {
        const auto unit = static_cast<std::make_unsigned_t<TUnit>>(text[i]);
        if (unit < 0x20 || unit == 0x7F || unit == ',' || unit == '"' || (sizeof(TUnit) == 2 && unit == 0x80))
            break;
    }
    return i;
}

// Where the run of stored units that starts at `i` ends, in `state`.
template <class TUnit>
std::size_t RunEnd(std::basic_string_view<TUnit> text, std::size_t i, TCsvState state) {
    const auto& ends = kRunEnds[static_cast<unsigned>(state)];
    for (;;) {
        i = NextCandidate(text, i);
        if (i == text.size() || ends[static_cast<std::make_unsigned_t<TUnit>>(text[i])]) return i;
        ++i;
    }
}

constexpr auto kSteps = [] {
    std::array<std::array<TStep, 5>, 4> steps{};
    for (unsigned state = 0; state < 4; ++state) {
        for (unsigned unit = 0; unit < 5; ++unit) {
            steps[state][unit] = Transition(static_cast<TCsvState>(state), static_cast<TUnitClass>(unit));
        }
    }
    return steps;
}();

// Units between two progress reports.
constexpr std::uint64_t kProgressInterval = 1 << 20;

// A unit read as part of a field begun with a quotation mark: the opening
// mark, everything in Quoted and AfterQuote, and the separator that ends it.
constexpr bool InQuotedField(TCsvState before, TUnitClass unit) {
    return before == TCsvState::Quoted || before == TCsvState::AfterQuote ||
           (before == TCsvState::FieldStart && unit == TUnitClass::Quote);
}

}  // namespace

template <class TUnit>
TCsvSplitterOf<TUnit>::TCsvSplitterOf(ICsvSinkOf<TUnit>& sink, TProgressCallback progress,
                                      std::uint64_t total)
    : FSink(sink), FProgress(std::move(progress)), FTotal(total), FNextProgress(kProgressInterval) {}

template <class TUnit>
void TCsvSplitterOf<TUnit>::Feed(std::basic_string_view<TUnit> text) {
    using TView = std::basic_string_view<TUnit>;
    // Units stored exactly as read are passed on in runs, not one by one.
    const TUnit* run = text.data();
    const TUnit* runEnd = run;
    auto storeRun = [&] {
        if (runEnd != run) FSink.Store(FRow, FColumn, TView(run, runEnd - run));
        run = runEnd;
    };
    static constexpr TUnit kLineFeed[] = {TUnit('\n')};

    for (std::size_t i = 0; i < text.size(); ++i) {
        // Without progress to report, a run of plain content is taken whole.
        if (!FProgress && FState != TCsvState::FieldStart) {
            if (const std::size_t end = RunEnd(text, i, FState); end != i) {
                if (runEnd != text.data() + i) {
                    storeRun();
                    run = text.data() + i;
                }
                runEnd = text.data() + end;
                i = end;
                if (i == text.size()) break;
            }
        }
        const TUnit unit = text[i];
        const TUnitClass unitClass = ClassOf(unit);
        if (unitClass == TUnitClass::Skip) continue;

        const TCsvState before = FState;
        const TStep step = kSteps[static_cast<unsigned>(before)][static_cast<unsigned>(unitClass)];
        FState = step.Next;
        switch (step.Action) {
            case TAction::None:
                break;
            case TAction::Store:
                if (unit == 0x0B) {
                    storeRun();
                    FSink.Store(FRow, FColumn, TView(kLineFeed, 1));
                } else if (runEnd == text.data() + i) {
                    ++runEnd;
                } else {
                    storeRun();
                    run = text.data() + i;
                    runEnd = run + 1;
                }
                break;
            case TAction::NextField:
                storeRun();
                ++FColumn;
                break;
            case TAction::NextRow:
                storeRun();
                ++FRow;
                FColumn = 0;
                break;
        }

        if (FProgress && InQuotedField(before, unitClass) && FPosition + i >= FNextProgress) {
            storeRun();
            FProgress(FPosition + i + 1, FTotal);
            FNextProgress = FPosition + i + kProgressInterval;
        }
    }
    storeRun();
    FPosition += text.size();
}

template class TCsvSplitterOf<char16_t>;
template class TCsvSplitterOf<char>;

}  // namespace quillmark
