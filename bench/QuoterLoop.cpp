// quillmark-quoter-loop FILE COLUMNS WIDTH [RUNS [THREADS]]: times the
// conversion's inner loop alone on a UTF-8 file already in memory (no
// reading, no writing, no encoding), fed in pieces of 1 MiB as the
// conversion feeds it. Prints the median and the fastest of RUNS (7 by
// default) in seconds, the median in MiB/s, and a checksum of the output, so
// that two builds can be compared on the same file where the whole
// program's time is mostly the disk's (on a busy machine the fastest run is
// the steadier figure). With THREADS, the text is quoted in parts on that
// many threads (after the first 4 MiB), as machines of more processor
// cores do: the checksum must be the same.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "BenchLoop.h"
#include "base/Utf.h"
#include "csv/ByteCsvQuoter.h"
#include "csv/ParallelCsvQuoter.h"
#include "settings/QuoteColumns.h"

namespace {

class TChecksumSink final : public quillmark::IByteSink {
  public:
    void Write(std::string_view bytes) override {
        Sum = quillmark::bench::Checksum(bytes, Sum);
        Size += bytes.size();
    }
    std::uint64_t Sum = quillmark::bench::Checksum({});
    std::uint64_t Size = 0;
};

class TCountingSink final : public quillmark::IByteSink {
  public:
    void Write(std::string_view bytes) override { Size += bytes.size(); }
    std::uint64_t Size = 0;
};

constexpr std::size_t kPiece = std::size_t{1} << 20;

template <class TQuoter>
void Feed(TQuoter& quoter, const std::string& text) {
    for (std::size_t at = 0; at < text.size(); at += kPiece)
        quoter.Feed(std::string_view(text).substr(at, kPiece));
    quoter.Finish();
}

void Quote(quillmark::IByteSink& out, const std::string& text, const quillmark::TColumnSet& columns,
           std::size_t width, unsigned threads) {
    if (threads == 0) {
        quillmark::TByteCsvQuoter quoter(out, columns, width);
        Feed(quoter, text);
        return;
    }
    quillmark::TParallelCsvQuoter::TOptions options;
    options.Threads = threads;
    quillmark::TParallelCsvQuoter quoter(out, columns, width, false, {}, options);
    Feed(quoter, text);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quillmark;
    if (argc < 4 || argc > 6) {
        std::fprintf(stderr, "usage: quillmark-quoter-loop FILE COLUMNS WIDTH [RUNS [THREADS]]\n");
        return 2;
    }
    std::string text;
    if (!bench::ReadWholeFile(argv[1], text)) return 1;
    const TColumnSet columns = ParseQuoteColumns(NativeToUnicode(argv[2]));
    const std::size_t width = std::stoul(argv[3]);
    const int runs = argc >= 5 ? std::stoi(argv[4]) : 7;
    const unsigned threads = argc == 6 ? static_cast<unsigned>(std::stoul(argv[5])) : 0;

    TChecksumSink checksum;
    Quote(checksum, text, columns, width, threads);
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        TCountingSink out;
        const auto start = std::chrono::steady_clock::now();
        Quote(out, text, columns, width, threads);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    bench::PrintTimes(seconds, text.size(), checksum.Size, checksum.Sum);
    return 0;
}
