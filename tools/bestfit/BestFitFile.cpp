#include "BestFitFile.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

enum class TSection { None, MultiByte, DoubleByte, WideChar, Range };

std::uint32_t Hex(const std::string& text) {
    return static_cast<std::uint32_t>(std::stoul(text, nullptr, 16));
}

std::string BytesOf(std::uint32_t value) {
    if (value > 0xFF) return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
    return {static_cast<char>(value)};
}

}  // namespace

TBestFitFile ReadBestFitFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path.string());
    TBestFitFile file;
    TSection section = TSection::None;
    std::uint32_t lead = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (const auto semicolon = line.find(';'); semicolon != std::string::npos) {
            const std::string comment = line.substr(semicolon);
            // "0xe0  0xfc  ;Lead Byte Range" may follow the tables of the first range.
            if (comment.find("Lead Byte Range") != std::string::npos) continue;
            if (const auto at = comment.find("LeadByte = "); at != std::string::npos)
                lead = Hex(comment.substr(at + 11));
            line.erase(semicolon);
        }
        std::istringstream words(line);
        std::string first, second;
        if (!(words >> first) || first == "\x1A") continue;  // DOS end-of-file mark
        words >> second;
        if (first == "CODEPAGE") {
            file.CodePage = static_cast<std::uint32_t>(std::stoul(second));
        } else if (first == "CPINFO") {
            std::string defaultByte, defaultUnicode;
            words >> defaultByte >> defaultUnicode;
            file.DoubleByte = second == "2";
            file.DefaultUnicode = static_cast<char16_t>(Hex(defaultUnicode));
        } else if (first == "MBTABLE") {
            section = TSection::MultiByte;
        } else if (first == "DBCSRANGE") {
            section = TSection::Range;
        } else if (first == "DBCSTABLE") {
            section = TSection::DoubleByte;
        } else if (first == "WCTABLE") {
            section = TSection::WideChar;
        } else if (first == "ENDCODEPAGE") {
            section = TSection::None;
        } else if (first.starts_with("0x") && second.starts_with("0x")) {
            const std::uint32_t from = Hex(first), to = Hex(second);
            switch (section) {
                case TSection::MultiByte:
                    file.Decode[from] = static_cast<char16_t>(to);
                    break;
                case TSection::DoubleByte:
                    file.Decode[lead << 8 | from] = static_cast<char16_t>(to);
                    break;
                case TSection::WideChar:
                    file.Encode[static_cast<char16_t>(from)] = BytesOf(to);
                    break;
                case TSection::Range:
                case TSection::None:
                    break;
            }
        } else {
            throw std::runtime_error("unexpected line in " + path.string() + ": " + line);
        }
    }
    if (file.CodePage == 0 || file.Encode.empty()) throw std::runtime_error("no table in " + path.string());
    return file;
}
