#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>

#include "base/CodePage.h"
#include "base/Stream.h"
#include "csv/ByteCsvMachine.h"
#include "text/TextReader.h"

// Reading a large file's rows in two parts at once, each by a counter of
// its own, the second part's counts then joined to the first's.
namespace quillmark {

// Files from this size on are read in two parts at once.
inline constexpr std::uint64_t kPartsFrom = std::uint64_t{4} << 20;

// The size of the pieces a part is read in.
inline constexpr std::size_t kPartPieceBytes = std::size_t{1} << 18;

// Where a row seems to begin at or after `from`: after a line feed that is
// followed by a few simple rows. A line feed inside quotes is rarely
// followed by text that reads so, but it can be: the caller finds out.
std::optional<std::uint64_t> GuessRowStart(TFileStream& file, std::uint64_t from, std::uint64_t size);
// The same in `text`, from `from` on: the position of the row start, or npos.
std::size_t FindRowStart(std::string_view text, std::size_t from);

// Whether a file of `codePage` and `size` is one ReadInParts may split.
inline bool ReadsInParts(TCodePage codePage, std::uint64_t size) {
    return (codePage == CP_UTF_8 || codePage == CP_NONE || codePage == CP_SHIFT_JIS) && size >= kPartsFrom &&
           std::thread::hardware_concurrency() >= 2;
}

// Reads a large UTF-8 or Shift_JIS file (or one taken byte by byte, see
// ETextNotAscii), its text read as `target`, in two parts at once: this
// thread feeds `machine` (of `counter`) up to a row start guessed near the
// middle, another thread a counter of a part of its own from there on. When
// the first part ends at a row start, the other part is joined to `counter`
// (counter.Append(part)); when it does not after all (the line feed was
// inside quotes), this thread reads the rest as well. Neither counter is
// finished here.
//
// `makePart` gives a std::unique_ptr to a part: an object with a `Counter`
// of the counter's type that counts as if a row began where it starts, and
// an `std::atomic<bool> Exact` it is read by. The counter's AtRowStart()
// says whether it stands at a row's start when the machine is at a field's.
// `stream` stands at the file's start. False, with nothing read, for a file
// not read so.
template <class TCounter, class TMakePart>
bool ReadInParts(TFileStream& stream, std::uint64_t size, TCodePage codePage, TCodePage target,
                 TCounter& counter, TByteCsvMachine<TCounter>& machine, const TMakePart& makePart,
                 const std::function<void(std::uint64_t)>& report, const std::atomic<bool>& exact) {
    if (!ReadsInParts(codePage, size)) return false;
    const std::optional<std::uint64_t> split = GuessRowStart(stream, size / 2, size);
    if (!split) return false;
    using TPart = typename decltype(makePart())::element_type;
    std::atomic<bool> stop = false;
    std::atomic<std::uint64_t> restDone = 0;
    std::future<std::unique_ptr<TPart>> rest = std::async(std::launch::async, [&] {
        std::unique_ptr<TPart> part = makePart();
        TByteCsvMachine partMachine(part->Counter);
        TFileSection section(stream, *split, size);
        TTextReader reader(section, codePage, kPartPieceBytes, size - *split, false);
        std::string_view piece;
        while (!stop.load(std::memory_order_relaxed) &&
               reader.ReadAs(target, piece, part->Exact.load(std::memory_order_relaxed))) {
            partMachine.Feed(piece);
            restDone.store(reader.BytesRead(), std::memory_order_relaxed);
        }
        return part;
    });
    // Declared after the future: the other thread is told to stop before
    // the future waits for it, on every way out.
    const struct TStopper {
        std::atomic<bool>& Stop;
        ~TStopper() { Stop = true; }
    } stopper{stop};

    auto read = [&](TTextReader& reader, std::uint64_t before) {
        std::string_view piece;
        while (reader.ReadAs(target, piece, exact.load(std::memory_order_relaxed))) {
            machine.Feed(piece);
            report(before + reader.BytesRead() + restDone.load(std::memory_order_relaxed));
        }
    };
    TTextReader first(stream, codePage, kPartPieceBytes, *split);
    read(first, 0);
    if (machine.State() == TCsvState::FieldStart && counter.AtRowStart()) {
        while (rest.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
            report(*split + restDone.load(std::memory_order_relaxed));
        std::unique_ptr<TPart> part = rest.get();
        part->Counter.Finish();
        counter.Append(*part);
        report(size);
        return true;
    }
    // The line feed was inside quotes.
    stop = true;
    rest.wait();
    restDone = 0;
    TFileSection section(stream, *split, size);
    TTextReader second(section, codePage, kPartPieceBytes, size - *split, false);
    read(second, *split);
    return true;
}

}  // namespace quillmark
