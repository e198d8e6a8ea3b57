// quillmark-decode-loop FILE [RUNS]: times the decoding of a Shift_JIS file
// already in memory into UTF-8, alone, fed in pieces of 1 MiB as the
// conversion feeds it. Prints the median and the fastest of RUNS (11 by
// default) in seconds, the median in MiB/s, and a checksum of the output, so
// that two builds can be compared on the same file.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "BenchLoop.h"
#include "base/CodePage.h"

namespace {

constexpr std::size_t kPiece = std::size_t{1} << 20;

// Decodes `text` piece by piece; `sum`, when given, gets the output's checksum.
std::uint64_t Decode(const std::string& text, std::uint64_t* sum) {
    const auto decoder = quillmark::TCodePageDecoder::Create(quillmark::CP_SHIFT_JIS);
    std::string out;
    std::uint64_t size = 0;
    for (std::size_t at = 0; at < text.size(); at += kPiece) {
        out.clear();
        decoder->DecodeUtf8(std::string_view(text).substr(at, kPiece), at + kPiece >= text.size(), out);
        size += out.size();
        if (sum) *sum = quillmark::bench::Checksum(out, *sum);
    }
    return size;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: quillmark-decode-loop FILE [RUNS]\n");
        return 2;
    }
    std::string text;
    if (!quillmark::bench::ReadWholeFile(argv[1], text)) return 1;
    const int runs = argc == 3 ? std::stoi(argv[2]) : 11;

    std::uint64_t sum = quillmark::bench::Checksum({});
    const std::uint64_t size = Decode(text, &sum);
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        Decode(text, nullptr);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    quillmark::bench::PrintTimes(seconds, text.size(), size, sum);
    return 0;
}
