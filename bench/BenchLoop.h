#pragma once

// What the benchmarks of one loop on a file in memory share.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::bench {

// The whole file `name` into `text`; false, after a message, when it cannot be read.
inline bool ReadWholeFile(const char* name, std::string& text) {
    std::ifstream in(name, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.good() || in.eof()) return true;
    std::fprintf(stderr, "cannot read %s\n", name);
    return false;
}

// FNV-1a over `bytes`, going on from `sum`.
inline std::uint64_t Checksum(std::string_view bytes, std::uint64_t sum = 0xCBF29CE484222325ULL) {
    for (const char byte : bytes)
        sum = (sum ^ static_cast<std::uint8_t>(byte)) * 0x100000001B3ULL;
    return sum;
}

// The median and the fastest of `seconds`, the median in MiB/s of `input`
// bytes, the output's size and checksum, on one line.
inline void PrintTimes(std::vector<double> seconds, std::size_t input, std::uint64_t size,
                       std::uint64_t sum) {
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    std::printf("%.4f s (fastest %.4f s)  %.0f MiB/s  %llu bytes  checksum %016llx\n", median,
                seconds.front(), static_cast<double>(input) / median / 1048576.0,
                static_cast<unsigned long long>(size), static_cast<unsigned long long>(sum));
}

}  // namespace quillmark::bench
