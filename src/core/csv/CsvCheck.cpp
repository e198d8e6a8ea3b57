#include "csv/CsvCheck.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "base/Blocks512.h"
#include "base/Exception.h"
#include "base/Stream.h"
#include "base/Utf.h"
#include "csv/ByteCsvMachine.h"
#include "csv/ColumnLetters.h"
#include "csv/CsvFileReader.h"
#include "csv/CsvParts.h"
#include "csv/SimpleRows.h"
#include "text/TextReader.h"

namespace quillmark {

std::string_view CodePageName(TCodePage codePage) {
    switch (codePage) {
        case CP_SHIFT_JIS:
            return "Shift_JIS";
        case CP_EUC_JP:
            return "EUC-JP";
        case CP_ISO_2022_JP:
            return "ISO-2022-JP";
        case CP_UTF16_LE:
            return "UTF-16LE";
        case CP_UTF16_BE:
            return "UTF-16BE";
        case CP_UTF32_LE:
            return "UTF-32LE";
        case CP_UTF32_BE:
            return "UTF-32BE";
        case CP_UTF_8:
            return "UTF-8";
        default:
            return "none";
    }
}

TCodePage TargetCodePage(std::int32_t encoding) {
    return encoding == 0 ? GetACP() : CP_UTF_8;
}

namespace {

constexpr char32_t kCodePoints = 0x110000;

constexpr bool IsSurrogate(char32_t codePoint) {
    return codePoint >= 0xD800 && codePoint <= 0xDFFF;
}

constexpr bool IsBreakingByte(char byte) {
    return byte == ',' || byte == '\n' || byte == '\r' || byte == '\v';
}

std::uint8_t SevenBitFlags(char32_t codePoint) {
    std::uint8_t flags = TTargetCharacters::kKnown;
    if (IsBreakingByte(static_cast<char>(codePoint))) flags |= TTargetCharacters::kBreaks;
    if (codePoint == '"') flags |= TTargetCharacters::kOpensQuote;
    return flags;
}

}  // namespace

TTargetCharacters::TTargetCharacters(TCodePage target)
    : FTarget(target),
      FBasic(std::make_unique<std::uint8_t[]>(0x10000)),
      FKept(std::make_unique<std::uint64_t[]>(0x10000 / 64)) {}

TTargetCharacters::~TTargetCharacters() = default;

std::uint8_t TTargetCharacters::Learn(char32_t codePoint) {
    const std::uint8_t flags = Work(codePoint);
    if (codePoint < 0x10000 && flags == kKnown) FKept[codePoint / 64] |= std::uint64_t{1} << (codePoint % 64);
    return flags;
}

std::uint8_t TTargetCharacters::Work(char32_t codePoint) {
    if (codePoint >= kCodePoints) return kKnown | kLossy;
    std::uint8_t* slot = nullptr;
    if (codePoint < 0x10000) {
        slot = &FBasic[codePoint];
    } else {
        std::unique_ptr<std::uint8_t[]>& page = FPages[codePoint >> 8];
        if (!page) page = std::make_unique<std::uint8_t[]>(256);
        slot = &page[codePoint & 0xFF];
        if (*slot != 0) return *slot;
    }
    std::uint8_t& flags = *slot;
    if (codePoint < 0x80) return flags = SevenBitFlags(codePoint);
    // An unpaired half is written as U+FFFD in UTF-8 and as "?" elsewhere.
    if (IsSurrogate(codePoint)) return flags = kKnown | kLossy;
    if (FTarget == CP_UTF_8) return flags = kKnown;
    std::u16string unit;
    if (codePoint >= 0x10000) {
        unit.push_back(static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10)));
        unit.push_back(static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF)));
    } else {
        unit.push_back(static_cast<char16_t>(codePoint));
    }
    flags = kKnown;
    const std::optional<std::string> bytes = WideCharToMultiByte(FTarget, unit);
    const std::optional<std::u16string> back =
        bytes ? MultiByteToWideChar(FTarget, *bytes) : std::optional<std::u16string>();
    if (!back || *back != unit) flags |= kLossy;
    if (bytes) {
        if (std::any_of(bytes->begin(), bytes->end(), IsBreakingByte)) flags |= kBreaks;
        if (!bytes->empty() && bytes->front() == '"') flags |= kOpensQuote;
    }
    return flags;
}

bool FieldBreaksUnquoted(std::u16string_view value) {
    return (!value.empty() && value.front() == u'"') || value.find_first_of(u",\n\r\v") != value.npos;
}

TFieldCheck CheckField(std::u16string_view value, TTargetCharacters& characters,
                       std::vector<bool>* lossyUnits) {
    TFieldCheck result;
    if (lossyUnits) lossyUnits->assign(value.size(), false);
    for (std::size_t i = 0; i < value.size();) {
        char32_t codePoint = value[i];
        std::size_t length = 1;
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF && i + 1 < value.size() && value[i + 1] >= 0xDC00 &&
            value[i + 1] <= 0xDFFF) {
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (value[i + 1] - 0xDC00);
            length = 2;
        }
        const std::uint8_t flags = characters.Of(codePoint);
        if ((flags & TTargetCharacters::kBreaks) || (i == 0 && (flags & TTargetCharacters::kOpensQuote)))
            result.Breaks = true;
        if (flags & TTargetCharacters::kLossy) {
            ++result.LossyCharacters;
            if (lossyUnits)
                for (std::size_t k = 0; k < length; ++k)
                    (*lossyUnits)[i + k] = true;
        }
        i += length;
    }
    return result;
}

namespace {

// Fields of a row, added to in the loop over a text's blocks, where a
// vector's own append is not kept inline once several loops call it.
class TFieldList {
  public:
    QUILLMARK_IN_BLOCK_LOOP void Add(std::size_t field) {
        if (FSize == FFields.size()) FFields.resize(2 * FSize + 16);
        FFields[FSize++] = field;
    }
    void Clear() { FSize = 0; }
    bool Contains(std::size_t field) const { return std::find(begin(), end(), field) != end(); }
    const std::size_t* begin() const { return FFields.data(); }
    const std::size_t* end() const { return FFields.data() + FSize; }

  private:
    std::vector<std::size_t> FFields;
    std::size_t FSize = 0;
};

// Gathers the check from what the CSV machine stores: the UTF-16 machine's
// stores (as a sink) or the byte machine's, of UTF-8 text (as its actions).
class TCheckCounter final : public ICsvSinkOf<char16_t> {
  public:
    // `exact` is cleared once the text needs to be exact no more.
    TCheckCounter(TCsvCheck& check, TTargetCharacters& characters, std::atomic<bool>& exact)
        : FCheck(check), FCharacters(characters), FExact(exact), FAnsi(characters.CodePage() != CP_UTF_8) {}

    // UTF-16: a field ends where the stores move to another one.
    void Store(std::size_t row, std::size_t column, std::u16string_view units) override {
        if (!FInField || row != FRow || column != FColumn) {
            EndField();
            FRow = row;
            FColumn = column;
        }
        Count();
        if (FRow == 0 && FLabels) FirstRow16(column).append(units);
        for (const char16_t unit : units) {
            if (FHighSurrogate != 0) {
                if (unit >= 0xDC00 && unit <= 0xDFFF) {
                    Character(0x10000 + ((FHighSurrogate - 0xD800u) << 10) + (unit - 0xDC00u));
                    FHighSurrogate = 0;
                    continue;
                }
                Character(FHighSurrogate);
                FHighSurrogate = 0;
            }
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                FHighSurrogate = unit;
                FCharacterIsFirst = !FInField;
                FInField = true;
                continue;
            }
            Character(unit);
        }
    }

    // The text is Shift_JIS for a target of 932, which writes every
    // character that 932 reads as one that reads back the same: only the
    // structure counts.
    void KeepEveryCharacter() { FAnsi = false; }

    // UTF-8: the byte machine's actions.
    void Store(const char* bytes, std::size_t size, std::size_t) {
        Count();
        if (FRow == 0 && FLabels) FirstRow8(FColumn).append(bytes, size);
        if (!FFieldBreaks && (std::memchr(bytes, ',', size) || std::memchr(bytes, '\n', size)))
            FFieldBreaks = true;
        if (FAnsi) {
            ScanUtf8(reinterpret_cast<const std::uint8_t*>(bytes), size);
        } else {
            FInField = true;
        }
    }
    void StoreQuote(std::size_t) {
        Count();
        if (FRow == 0 && FLabels) FirstRow8(FColumn).push_back('"');
        if (!FInField) FFieldBreaks = true;
        FInField = true;
    }
    void StoreLineFeed(std::size_t) {
        Count();
        if (FRow == 0 && FLabels) FirstRow8(FColumn).push_back('\n');
        FFieldBreaks = true;
        FInField = true;
    }
    void NextField() {
        EndField();
        ++FColumn;
    }
    void NextRow() {
        EndField();
        if (FRow++ == 0 && !FAnsi) FExact.store(false, std::memory_order_relaxed);
        FColumn = 0;
    }

    // Simple rows (see ReadSimpleRows) are taken whole, at a cost per row,
    // per suspect (see TBlockClasses) and per character from 0x80 up rather
    // than per field. A plain field holds no separator and no mark and never
    // breaks; a quoted one breaks when its content holds a comma or a line
    // feed or begins with a doubled mark, which its suspects show. For an
    // ANSI target, the characters of all the rows read are looked at in one
    // go after them. The first row is the machine's, for its labels.
    std::size_t ReadRows(std::string_view text, std::size_t at) {
        if (FColumn != 0 || FRow == 0) return at;
        const char* const data = text.data();
        FRowBreaking.Clear();
        FLastBreaking = SIZE_MAX;
        const std::size_t next = CountSimpleRows(
            text, at,
            [this, data](std::size_t start, std::size_t count, std::size_t, std::size_t end,
                         std::size_t) QUILLMARK_IN_BLOCK_LOOP {
                const std::size_t width = SimpleFieldsWithContent(data, start, end, count, FCheck.ColCount);
                FRowBreaking.Clear();
                FLastBreaking = SIZE_MAX;
                FFieldBreaks = false;
                FInField = false;
                if (width > 0) {
                    FCheck.RowCount = FRow + 1;
                    FCheck.ColCount = std::max<std::uint64_t>(FCheck.ColCount, width);
                }
                ++FRow;
                return true;
            },
            [this, data](std::size_t field, std::size_t at)
                QUILLMARK_IN_BLOCK_LOOP { Suspect<true>(data, field, at); });
        // What was counted of a row that proved not to be simple, or that
        // the text ends in, is the machine's to count.
        for (const std::size_t field : FRowBreaking)
            --FBreaking[field];
        if (FAnsi && next > at) {
            FMarked.clear();
            ScanRows(data, text.size(), at, next);
            if (!FMarked.empty()) AddMarkedFields(text, at);
        }
        return next;
    }

    // The labels are the caller's to read: the text is not exact.
    void LeaveLabels() { FLabels = false; }

    // Whether the machine, at FieldStart, is at the start of a row.
    bool AtRowStart() const { return FColumn == 0; }

    // Adds the counts of the rows after those read, finished by a counter
    // of their own from the row start where this one stands.
    template <class TPart>
    void Append(const TPart& part) {
        const TCsvCheck& rest = part.Check;
        if (rest.RowCount > 0) FCheck.RowCount = FRow + rest.RowCount;
        FCheck.ColCount = std::max(FCheck.ColCount, rest.ColCount);
        FCheck.LossyCharacters += rest.LossyCharacters;
        if (FBreaking.size() < rest.Columns.size()) FBreaking.resize(rest.Columns.size());
        for (std::size_t column = 0; column < rest.Columns.size(); ++column)
            FBreaking[column] += rest.Columns[column].BreakingFields;
    }

    void Finish() {
        EndField();
        for (std::size_t column = 0; column < FFirstRow8.size(); ++column)
            if (!FFirstRow8[column].empty()) FFirstRow16[column] = Utf8ToUtf16(FFirstRow8[column]);
        FCheck.Columns.resize(FCheck.ColCount);
        for (std::size_t column = 0; column < FCheck.Columns.size(); ++column) {
            FCheck.Columns[column].BreakingFields = column < FBreaking.size() ? FBreaking[column] : 0;
            if (column < FFirstRow16.size()) FCheck.Columns[column].Label = std::move(FFirstRow16[column]);
        }
    }

  private:
    void Count() {
        if (FRow >= FCheck.RowCount) FCheck.RowCount = FRow + 1;
        if (FColumn >= FCheck.ColCount) FCheck.ColCount = FColumn + 1;
    }

    std::u16string& FirstRow16(std::size_t column) {
        if (FFirstRow16.size() <= column) FFirstRow16.resize(column + 1);
        return FFirstRow16[column];
    }
    std::string& FirstRow8(std::size_t column) {
        if (FFirstRow8.size() <= column) {
            FFirstRow8.resize(column + 1);
            FFirstRow16.resize(column + 1);
        }
        return FFirstRow8[column];
    }

    void Character(char32_t codePoint) {
        const std::uint8_t flags = FCharacters.Of(codePoint);
        if ((flags & TTargetCharacters::kBreaks) ||
            ((flags & TTargetCharacters::kOpensQuote) && (FCharacterIsFirst || !FInField)))
            FFieldBreaks = true;
        if (flags & TTargetCharacters::kLossy) ++FCheck.LossyCharacters;
        FCharacterIsFirst = false;
        FInField = true;
    }

    // The characters from 0x80 up of well-formed UTF-8; one cut by the end
    // of a piece is completed by the next store.
    void ScanUtf8(const std::uint8_t* bytes, std::size_t size) {
        std::size_t i = 0;
        if (!FCarry.empty()) {
            while (i < size && FCarry.size() < FCarryNeeded)
                FCarry.push_back(static_cast<char>(bytes[i++]));
            if (FCarry.size() < FCarryNeeded) return;
            Utf8Character(reinterpret_cast<const std::uint8_t*>(FCarry.data()), FCarry.size());
            FCarry.clear();
        }
        while (i < size) {
            const std::size_t run = SevenBitRun(bytes + i, size - i);
            if (run > 0) {
                if (!FInField && bytes[i] == '"') FFieldBreaks = true;
                FInField = true;
                i += run;
                continue;
            }
            const std::uint8_t lead = bytes[i];
            const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            if (size - i < length) {
                FCarry.assign(reinterpret_cast<const char*>(bytes + i), size - i);
                FCarryNeeded = length;
                FCharacterIsFirst = !FInField;
                FInField = true;
                return;
            }
            Utf8Character(bytes + i, length);
            i += length;
        }
    }

    void Utf8Character(const std::uint8_t* bytes, std::size_t length) {
        char32_t codePoint = bytes[0] & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k)
            codePoint = (codePoint << 6) | (bytes[k] & 0x3F);
        Character(codePoint);
    }

    // A suspect of a simple row's field (see CountSimpleRows): a comma or
    // line feed inside quotes breaks; an opening mark only when two marks
    // follow it. With `kCountNow`, the field is counted at once (a field that
    // breaks holds content, so the row is no narrower): FRowBreaking tells
    // what to take back if the row proves not to be simple.
    template <bool kCountNow>
    QUILLMARK_IN_BLOCK_LOOP void Suspect(const char* data, std::size_t field, std::size_t at) {
        if (field != FLastBreaking && (data[at] != '"' || (data[at + 1] == '"' && data[at + 2] == '"'))) {
            FRowBreaking.Add(field);
            if constexpr (kCountNow) AddBreaking(field);
            FLastBreaking = field;
        }
    }

    // The characters of FMarked, whose bytes in the target would break
    // their field (see NoteCharacter), in the simple rows read from `at`:
    // those rows are read again, as seldom as such characters come, for
    // each one's field, which breaks unless its suspects already made it.
    void AddMarkedFields(std::string_view text, std::size_t at) {
        const char* const data = text.data();
        std::size_t marked = 0;
        FRowBreaking.Clear();
        FLastBreaking = SIZE_MAX;
        CountSimpleRows(
            text, at,
            [this, data, &marked](std::size_t start, std::size_t count, std::size_t, std::size_t end,
                                  std::size_t next) {
                const std::size_t width = SimpleFieldsWithContent(data, start, end, count);
                for (; marked < FMarked.size() && FMarked[marked].At < next; ++marked) {
                    const std::size_t field = BrokenField(data, start, FMarked[marked]);
                    if (field < width && !FRowBreaking.Contains(field)) {
                        FRowBreaking.Add(field);
                        AddBreaking(field);
                    }
                }
                FRowBreaking.Clear();
                FLastBreaking = SIZE_MAX;
                return marked < FMarked.size();
            },
            [this, data](std::size_t field, std::size_t at) { Suspect<false>(data, field, at); });
    }

    // The characters from 0x80 up of simple rows (bytes `start` to `end`),
    // for an ANSI target: each is looked up (see NoteCharacter). `size` is
    // how far the text may be read.
    void ScanRows(const char* data, std::size_t size, std::size_t start, std::size_t end) {
        const auto* const bytes = reinterpret_cast<const std::uint8_t*>(data);
        std::size_t i = start;
#if defined(__x86_64__) && defined(__GNUC__)
        if (CanUseBlocks()) i = ScanRowsAvx512(bytes, size, start, end);
#endif
#if defined(__SSE2__) || defined(_M_X64)
        // Sixteen bytes at a time while the two after them can be read: the
        // lead bytes are found at once, and where all are those of three
        // bytes (nearly all Japanese text) their code points are worked out
        // together and only looked up one by one. Characters already known
        // to be kept as they are need nothing more.
        const std::uint8_t* const learnt = FCharacters.Learnt();
        const __m128i aboveTrail = _mm_set1_epi8(-65), belowThree = _mm_set1_epi8(-33),
                      aboveThree = _mm_set1_epi8(-17), zero = _mm_setzero_si128();
        for (; i < end && size - i >= 18; i += 16) {
            const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
            const auto high = static_cast<unsigned>(_mm_movemask_epi8(first));
            if (high == 0) continue;
            unsigned leads =
                high & static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(first, aboveTrail)));
            if (end - i < 16) leads &= (1u << (end - i)) - 1;
            if (leads == 0) continue;
            const unsigned threes =
                leads & static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(first, belowThree))) &
                ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(first, aboveThree)));
            if (threes == leads) {
                const __m128i lead = _mm_and_si128(first, _mm_set1_epi8(0x0F));
                const __m128i second = _mm_and_si128(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 1)), _mm_set1_epi8(0x3F));
                const __m128i third = _mm_and_si128(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 2)), _mm_set1_epi8(0x3F));
                alignas(16) std::uint16_t codes[16];
                _mm_store_si128(reinterpret_cast<__m128i*>(codes),
                                _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_unpacklo_epi8(lead, zero), 12),
                                                          _mm_slli_epi16(_mm_unpacklo_epi8(second, zero), 6)),
                                             _mm_unpacklo_epi8(third, zero)));
                _mm_store_si128(reinterpret_cast<__m128i*>(codes + 8),
                                _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_unpackhi_epi8(lead, zero), 12),
                                                          _mm_slli_epi16(_mm_unpackhi_epi8(second, zero), 6)),
                                             _mm_unpackhi_epi8(third, zero)));
                unsigned other = 0;
                for (unsigned rest = threes; rest != 0; rest &= rest - 1)
                    other |= learnt[codes[std::countr_zero(rest)]] ^ TTargetCharacters::kKnown;
                if (other == 0) continue;
            }
            for (unsigned rest = leads; rest != 0; rest &= rest - 1)
                Utf8CharacterOfRow(bytes, i + static_cast<std::size_t>(std::countr_zero(rest)));
        }
#endif
        for (; i < end; ++i)
            if (bytes[i] >= 0xC0) Utf8CharacterOfRow(bytes, i);
    }

#if defined(__x86_64__) && defined(__GNUC__)
    // ScanRows' first part, 64 bytes at a time while the two after them can
    // be read: where all the characters that begin in a block are of two or
    // three bytes, their code points are worked out together and only looked up
    // one by one, in the bits of those kept as they are. Returns where it
    // stopped, past `end` when it got there.
    __attribute__((target("avx512bw,avx512vbmi2,bmi2,popcnt"))) std::size_t ScanRowsAvx512(
        const std::uint8_t* bytes, std::size_t size, std::size_t start, std::size_t end) {
        const std::uint64_t* const kept = FCharacters.Kept();
        std::size_t i = start;
        for (; i < end && size - i >= 66; i += 64) {
            const __m512i first = _mm512_loadu_si512(bytes + i);
            std::uint64_t leads = _mm512_cmpge_epu8_mask(first, _mm512_set1_epi8(static_cast<char>(0xC0)));
            if (end - i < 64) leads = _bzhi_u64(leads, static_cast<unsigned>(end - i));
            if (leads == 0) continue;
            const std::uint64_t twos = leads & Within(first, 0xC0, 0xDF);
            if (((twos | Within(first, 0xE0, 0xEF)) & leads) == leads) {
                // The code points of the leads, packed in order: the look-ups
                // then go one after another, none waiting for the next bit.
                std::size_t count = 0;
                for (unsigned half = 0; half < 2; ++half) {
                    const std::uint8_t* const at = bytes + i + 32 * half;
                    const auto halfLeads = static_cast<__mmask32>(leads >> (32 * half));
                    const __m512i points = LeadCodePoints(at, static_cast<__mmask32>(twos >> (32 * half)));
                    _mm512_storeu_si512(FCodes.data() + count,
                                        _mm512_maskz_compress_epi16(halfLeads, points));
                    count += static_cast<std::size_t>(std::popcount(static_cast<std::uint32_t>(halfLeads)));
                }
                std::uint64_t other = 0;
                for (std::size_t k = 0; k < count; ++k)
                    other |= ~kept[FCodes[k] / 64] >> (FCodes[k] % 64);
                if ((other & 1) == 0) continue;
            }
            for (std::uint64_t rest = leads; rest != 0; rest &= rest - 1)
                Utf8CharacterOfRow(bytes, i + static_cast<std::size_t>(std::countr_zero(rest)));
        }
        return i;
    }
#endif

    // The character of the simple rows whose lead byte is at `at`.
    void Utf8CharacterOfRow(const std::uint8_t* bytes, std::size_t at) {
        const std::uint8_t lead = bytes[at];
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        char32_t codePoint = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k)
            codePoint = (codePoint << 6) | (bytes[at + k] & 0x3F);
        if (const std::uint8_t flags = FCharacters.Of(codePoint); flags != TTargetCharacters::kKnown)
            NoteCharacter(flags, at);
    }

    // A character of the simple rows (at `at`) that is lossy or whose bytes
    // in the target would break its field: the latter is marked, for
    // AddMarkedFields.
    void NoteCharacter(std::uint8_t flags, std::size_t at) {
        if (flags & TTargetCharacters::kLossy) ++FCheck.LossyCharacters;
        if (flags & (TTargetCharacters::kBreaks | TTargetCharacters::kOpensQuote))
            FMarked.push_back({at, flags});
    }

    // A character whose bytes in the target would break its field, or begin
    // it with a quotation mark.
    struct TMarked {
        std::size_t At;
        std::uint8_t Flags;  // TTargetCharacters's
    };

    // The field of a simple row (from `start`) that a marked character
    // breaks: its own, when its bytes break any field or begin it with a
    // quotation mark; SIZE_MAX when they do not.
    static std::size_t BrokenField(const char* data, std::size_t start, TMarked marked) {
        std::size_t field = 0, begin = start;
        bool quoted = false;
        for (std::size_t i = start; i < marked.At; ++i) {
            if (data[i] == '"') {
                quoted = !quoted;
            } else if (data[i] == ',' && !quoted) {
                ++field;
                begin = i + 1;
            }
        }
        if (data[begin] == '"') ++begin;
        return (marked.Flags & TTargetCharacters::kBreaks) || marked.At == begin ? field : SIZE_MAX;
    }

    void AddBreaking(std::size_t column) {
        if (FBreaking.size() <= column) FBreaking.resize(column + 1);
        ++FBreaking[column];
    }

    void EndField() {
        if (FHighSurrogate != 0) {
            Character(FHighSurrogate);
            FHighSurrogate = 0;
        }
        if (FFieldBreaks) AddBreaking(FColumn);
        FFieldBreaks = false;
        FInField = false;
        FCharacterIsFirst = false;
    }

    TCsvCheck& FCheck;
    std::array<std::uint16_t, 64> FCodes;  // ScanRowsAvx512's code points
    TTargetCharacters& FCharacters;
    std::atomic<bool>& FExact;
    bool FAnsi;
    bool FLabels = true;
    std::size_t FRow = 0;
    std::size_t FColumn = 0;
    bool FInField = false;           // something of the current field is stored
    bool FFieldBreaks = false;       // the current field would break written unquoted
    bool FCharacterIsFirst = false;  // the character being completed began the field
    char16_t FHighSurrogate = 0;     // UTF-16: the first half of a pair not yet seen whole
    std::string FCarry;              // UTF-8: the start of a character cut by a piece's end
    std::size_t FCarryNeeded = 0;
    std::vector<std::uint64_t> FBreaking;
    TFieldList FRowBreaking;               // the fields of a simple row found to break so far
    std::size_t FLastBreaking = SIZE_MAX;  // the last of them
    std::vector<TMarked> FMarked;          // see NoteCharacter
    std::vector<std::string> FFirstRow8;
    std::vector<std::u16string> FFirstRow16;
};

// Stops the splitter once the first row is in.
struct TFirstRowRead {};

// The first row of a file, exactly as TCsv reads it, read only as far as it
// goes.
TCsvRow ReadFirstRow(const std::u16string& fileName) {
    struct TSink final : ICsvSink {
        TCsvRow Row;
        void Store(std::size_t row, std::size_t column, std::u16string_view units) override {
            if (row > 0) throw TFirstRowRead();
            if (Row.size() <= column) Row.resize(column + 1);
            Row[column].append(units);
        }
    } sink;
    try {
        SplitCsvFile(fileName, sink);
    } catch (const TFirstRowRead&) {
    }
    return std::move(sink.Row);
}

// The rows after a row start, checked by a counter of their own; read
// exactly or not, as the first part's rows after its first.
struct TCheckPart {
    TCheckPart(TCodePage target, bool exact, bool keepEveryCharacter)
        : Characters(target), Exact(exact), Counter(Check, Characters, Exact) {
        Counter.LeaveLabels();
        if (keepEveryCharacter) Counter.KeepEveryCharacter();
    }

    TCsvCheck Check;
    TTargetCharacters Characters;  // its own: the table is learnt as it goes
    std::atomic<bool> Exact;
    TCheckCounter Counter;
};

// Checks a large file in two parts at once, see ReadInParts; its text read
// as `readAs`, the second part's exactly when `restExact`, its characters
// looked at as the first part's.
bool CheckInParts(const std::u16string& fileName, TCodePage sourceCodePage, TCodePage readAs,
                  TCodePage targetCodePage, TCheckCounter& counter, TByteCsvMachine<TCheckCounter>& machine,
                  const TProgressCallback& progress, const std::atomic<bool>& exact, bool restExact,
                  bool keepEveryCharacter) {
    TFileStream stream(fileName);
    const std::uint64_t size = stream.Size();
    if (!ReadsInParts(sourceCodePage, size)) return false;
    const std::function<void(std::uint64_t)> report = [&progress, size](std::uint64_t done) {
        if (progress) progress(std::min(done, size), size);
    };
    return ReadInParts(
        stream, size, sourceCodePage, readAs, counter, machine,
        [targetCodePage, restExact, keepEveryCharacter] {
            return std::make_unique<TCheckPart>(targetCodePage, restExact, keepEveryCharacter);
        },
        report, exact);
}

// The check of one reading; without `bytes`, the file is split as UTF-16
// whatever its code page.
void CheckFile(const std::u16string& fileName, TCsvCheck& check, const TProgressCallback& progress,
               bool bytes) {
    check.SourceCodePage = DetectCsvFileCodePage(fileName);
    TTargetCharacters characters(check.TargetCodePage);
    // The first row is read exactly for its labels, the rest where the
    // characters are looked at.
    std::atomic<bool> exact = true;
    TCheckCounter counter(check, characters, exact);
    TByteCsvMachine machine(counter);
    const auto feed = [&machine](std::string_view text) { machine.Feed(text); };
    // Into UTF-8, which holds every character, only the structure of a
    // Shift_JIS file counts, and its 932 form has the same and comes faster
    // than decoding does. So it is into 932 itself: every character 932
    // reads, it writes as one that reads back the same (an unassigned pair
    // reads as U+30FB, a byte alone for nothing as a character of its own).
    // The labels come from the exact text, read apart.
    const bool shiftJis = bytes && check.SourceCodePage == CP_SHIFT_JIS &&
                          (check.TargetCodePage == CP_UTF_8 || check.TargetCodePage == CP_SHIFT_JIS);
    TCsvRow labels;
    if (shiftJis) {
        labels = ReadFirstRow(fileName);
        counter.LeaveLabels();
        counter.KeepEveryCharacter();
    }
    const TCodePage readAs = shiftJis ? CP_SHIFT_JIS : CP_UTF_8;
    if (!bytes ||
        !(CheckInParts(fileName, check.SourceCodePage, readAs, check.TargetCodePage, counter, machine,
                       progress, exact, !shiftJis && check.TargetCodePage != CP_UTF_8, shiftJis) ||
          ReadCsvFileAs(fileName, readAs, feed, progress, 0, 1, &exact)))
        SplitCsvFile(fileName, counter, progress);
    counter.Finish();
    for (std::size_t column = 0; column < labels.size() && column < check.Columns.size(); ++column)
        check.Columns[column].Label = std::move(labels[column]);
}

}  // namespace

bool CheckCsvFile(const std::u16string& fileName, const TColumnSet& quoteColumns, std::int32_t encoding,
                  TCsvCheck& check, const TProgressCallback& progress) {
    TCsvCheck read;
    read.TargetCodePage = TargetCodePage(encoding);
    try {
        try {
            CheckFile(fileName, read, progress, true);
        } catch (const ETextNotAscii&) {
            // A file taken byte by byte that is not ASCII after all.
            const TCodePage target = read.TargetCodePage;
            read = {};
            read.TargetCodePage = target;
            CheckFile(fileName, read, progress, false);
        }
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        return false;
    }
    for (std::size_t column = 0; column < read.Columns.size(); ++column) {
        const auto index = static_cast<std::int32_t>(std::min<std::size_t>(column, INT32_MAX));
        read.Columns[column].Letters = GetColumnLetters(index);
        read.Columns[column].Quoted = quoteColumns.contains(index);
    }
    check = std::move(read);
    return true;
}

namespace {

void AppendJsonString(std::string& out, std::u16string_view text) {
    out.push_back('"');
    for (const char byte : Utf16ToUtf8(text)) {
        switch (byte) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<std::uint8_t>(byte) < 0x20) {
                    static constexpr char kHex[] = "0123456789abcdef";
                    out += "\\u00";
                    out.push_back(kHex[static_cast<std::uint8_t>(byte) >> 4]);
                    out.push_back(kHex[byte & 0xF]);
                } else {
                    out.push_back(byte);
                }
        }
    }
    out.push_back('"');
}

}  // namespace

std::string FormatCheckJson(const TCsvCheck& check) {
    std::string out = "{\"encoding\": \"";
    out += CodePageName(check.SourceCodePage);
    out += "\", \"codePage\": " + std::to_string(check.SourceCodePage);
    out += ", \"rows\": " + std::to_string(check.RowCount);
    out += ", \"columns\": " + std::to_string(check.ColCount);
    out += ", \"lossyCharacters\": " + std::to_string(check.LossyCharacters);
    out += ", \"columnsReport\": [";
    for (std::size_t column = 0; column < check.Columns.size(); ++column) {
        const TCheckColumn& entry = check.Columns[column];
        if (column > 0) out += ", ";
        out += "{\"index\": " + std::to_string(column) + ", \"letters\": ";
        AppendJsonString(out, entry.Letters);
        out += ", \"label\": ";
        AppendJsonString(out, entry.Label);
        out += entry.Quoted ? ", \"quoted\": true" : ", \"quoted\": false";
        out += ", \"breakingFields\": " + std::to_string(entry.BreakingFields) + "}";
    }
    out += "]}\n";
    return out;
}

}  // namespace quillmark
