#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

// What one of Microsoft's "bestfitNNN.txt" files says a code page does.
struct TBestFitFile {
    std::uint32_t CodePage = 0;
    bool DoubleByte = false;
    char16_t DefaultUnicode = u'?';  // what undefined bytes decode to
    // Byte sequence (one byte, or lead << 8 | trail) -> UTF-16 unit.
    std::map<std::uint32_t, char16_t> Decode;
    // UTF-16 unit -> bytes, best fit included. Missing units give '?'.
    std::map<char16_t, std::string> Encode;
};

// Reads a table file; throws std::runtime_error on a malformed file.
TBestFitFile ReadBestFitFile(const std::filesystem::path& path);
