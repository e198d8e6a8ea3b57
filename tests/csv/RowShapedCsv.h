#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace quillmark::test {

// Words for RowShapedCsv: seven-bit text and kana or kanji in UTF-8, and the
// same in Shift_JIS (whose second bytes include "@", "\\" and "|").
inline const std::vector<std::string> kUtf8Words = {
    "a", "bc", " ", "\t", "1234567", "\xE5\xB1\xB1\xE7\x94\xB0", "\xE3\x81\x82\xE3\x81\x84", "\xE3\x83\xBC"};
inline const std::vector<std::string> kShiftJisWords = {
    "a",        "bc",       " ",       "\t", "1234567", "\x8E\x52\x93\x63", "\x82\xA0\x82\xA2",
    "\x81\x5B", "\x83\x5C", "\x95\x7C"};

// CSV text shaped as most files are: rows of plain and quoted fields (with
// doubled marks, commas and line breaks inside quotes, empty fields, long
// fields that span blocks of 64 bytes), CR LF or LF line ends, and now and
// then a byte or a row that is not simple: a stray or misplaced quotation
// mark, a lone CR, VT, another control character, DEL, an empty row, a row
// of empty fields or one wider than the rest.
inline std::string RowShapedCsv(std::mt19937& random, std::size_t rows,
                                const std::vector<std::string>& words) {
    static const std::vector<std::string> kOdd = {"\"",     "\r",  "\v",     "\x01", "\x7F",
                                                  "\"x\"y", " \"", "\r\r\n", "\n"};
    auto text = [&](std::size_t most) {
        std::string value;
        for (std::size_t n = 1 + random() % most; n > 0; --n)
            value += words[random() % words.size()];
        return value;
    };
    std::string csv;
    for (std::size_t row = 0; row < rows; ++row) {
        std::string line;
        const std::size_t fields = random() % 16 == 0 ? random() % 12 : 4 + random() % 3;
        for (std::size_t field = 0; field < fields; ++field) {
            if (field > 0) line += ',';
            switch (random() % 8) {
                case 0:
                    break;
                case 1:
                    line += "\"\"";
                    break;
                case 2: {
                    std::string inside;
                    for (int part = random() % 4; part >= 0; --part)
                        inside +=
                            text(3) + std::vector<std::string>{"\"\"", ",", "\n", "\r\n", ""}[random() % 5];
                    line += '"' + inside + '"';
                    break;
                }
                case 3:
                    line += text(40);
                    break;
                default:
                    line += text(4);
                    break;
            }
        }
        if (random() % 10 == 0) {
            // Between characters: at either end or after a comma.
            std::vector<std::size_t> places = {0, line.size()};
            for (std::size_t at = 0; at < line.size(); ++at)
                if (line[at] == ',') places.push_back(at + 1);
            line.insert(places[random() % places.size()], kOdd[random() % kOdd.size()]);
        }
        csv += line + (random() % 3 == 0 ? "\n" : "\r\n");
    }
    if (random() % 2 == 0) csv += text(5);  // a last row without a line end
    return csv;
}

}  // namespace quillmark::test
