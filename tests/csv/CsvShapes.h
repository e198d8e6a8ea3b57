#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace quillmark::test {

// The shapes real CSV files come in, each stressing another part of the
// conversion: many short fields, every field quoted, line breaks inside
// quotes, hundreds of mostly empty columns, rows of changing width.
enum class TCsvShapeKind { Dense, Quoted, Multiline, Wide, Ragged };

struct TCsvShapeName {
    const char* Name;
    TCsvShapeKind Kind;
};

inline const std::vector<TCsvShapeName> kCsvShapes = {{"Dense", TCsvShapeKind::Dense},
                                                      {"Quoted", TCsvShapeKind::Quoted},
                                                      {"Multiline", TCsvShapeKind::Multiline},
                                                      {"Wide", TCsvShapeKind::Wide},
                                                      {"Ragged", TCsvShapeKind::Ragged}};

// About `rows` rows of the shape, CR LF after each (LF alone now and then),
// built from `words` (see RowShapedCsv.h) and digits:
//   Dense      a header of 20 names, then rows of 12 to 20 short fields, a
//              quarter of them quoted (amounts like "1,234", codes with
//              commas, now and then a doubled mark or "")
//   Quoted     12 fields, all quoted, a tenth with doubled marks
//   Multiline  10 fields; a tenth of the rows hold quoted fields with CR LF
//              or LF inside
//   Wide       200 fields, most of them empty or one character long
//   Ragged     5 to 11 fields; 12 only in the last tenth of the rows
// Now and then a field is long enough to span several blocks of 64 bytes.
inline std::string ShapedCsv(TCsvShapeKind shape, std::mt19937& random, std::size_t rows,
                             const std::vector<std::string>& words) {
    auto word = [&] { return words[random() % words.size()]; };
    auto number = [&](unsigned most) { return std::to_string(random() % most); };
    auto text = [&](std::size_t most) {
        std::string value;
        for (std::size_t n = 1 + random() % most; n > 0; --n)
            value += word();
        if (random() % 50 == 0) value += std::string(70 + random() % 100, 'L');
        return value;
    };
    auto quoted = [](const std::string& value) {
        std::string out = "\"";
        for (const char c : value)
            out += c == '"' ? std::string("\"\"") : std::string(1, c);
        return out + "\"";
    };
    auto amount = [&] {
        std::string digits = number(1000);
        for (int group = random() % 3; group > 0; --group)
            digits += "," + std::to_string(100 + random() % 900);
        return digits;
    };
    auto dense = [&] {
        switch (random() % 20) {
            case 0:
            case 1:
            case 2:
                return quoted(amount());
            case 3:
                return quoted("A" + number(99) + "," + number(9));
            case 4:
                return quoted(word() + "\"" + word() + "\"");
            case 5:
                return std::string("\"\"");
            case 6:
            case 7:
            case 8:
                return std::string();
            case 9:
            case 10:
            case 11:
            case 12:
                return number(100);
            default:
                return word();
        }
    };

    std::string csv;
    if (shape == TCsvShapeKind::Dense) {
        for (int k = 0; k < 20; ++k)
            csv += (k > 0 ? ",h" : "h") + std::to_string(k);
        csv += "\r\n";
    }
    for (std::size_t row = 0; row < rows; ++row) {
        std::vector<std::string> fields;
        switch (shape) {
            case TCsvShapeKind::Dense:
                for (std::size_t k = 12 + random() % 9; k > 0; --k)
                    fields.push_back(dense());
                break;
            case TCsvShapeKind::Quoted:
                for (int k = 0; k < 12; ++k)
                    fields.push_back(quoted(random() % 10 == 0 ? "\"" + text(3) + "\"" : text(3)));
                break;
            case TCsvShapeKind::Multiline: {
                const bool lines = random() % 10 == 0;
                for (int k = 0; k < 10; ++k) {
                    if (lines && (k == 5 || (k == 8 && random() % 2 == 0))) {
                        const std::string lineBreak = random() % 2 == 0 ? "\r\n" : "\n";
                        fields.push_back(quoted(text(3) + lineBreak + text(3) + lineBreak + text(2)));
                    } else {
                        fields.push_back(k == 3 ? quoted(amount()) : text(2));
                    }
                }
                break;
            }
            case TCsvShapeKind::Wide:
                for (int k = 0; k < 200; ++k) {
                    const unsigned kind = random() % 20;
                    fields.push_back(kind < 12 ? std::string() : kind < 16 ? number(10) : word());
                }
                break;
            case TCsvShapeKind::Ragged: {
                const std::size_t most = row >= rows - rows / 10 ? 12 : 11;
                for (std::size_t k = 5 + random() % (most - 4); k > 0; --k)
                    fields.push_back(k % 4 == 0 ? quoted(amount()) : text(2));
                break;
            }
        }
        for (std::size_t k = 0; k < fields.size(); ++k)
            csv += (k > 0 ? "," : "") + fields[k];
        csv += random() % 20 == 0 ? "\n" : "\r\n";
    }
    return csv;
}

}  // namespace quillmark::test
