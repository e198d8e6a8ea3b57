#include <array>
#include <string_view>

#include "text/DetectScore.h"
#include "text/EncodeDetect.h"

namespace quillmark {

namespace {

enum class TUtf7Class : std::uint8_t {
    Forbidden,  // never in this restricted UTF-7: eight-bit bytes and 22 punctuation marks
    Direct,     // allowed outside a shifted run only
    Base64,     // A-Z a-z 0-9 /
    Plus,       // opens a run, and is a base64 character inside one
    Minus,      // closes a run
};

constexpr std::array<TUtf7Class, 256> MakeUtf7Classes() {
    std::array<TUtf7Class, 256> classes{};
    for (int byte = 0x00; byte <= 0x7F; ++byte)
        classes[byte] = TUtf7Class::Direct;
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        classes[byte] = TUtf7Class::Forbidden;
    for (unsigned char c : std::string_view("!\"#$%&*;<=>@[\\]^_`{|}~"))
        classes[c] = TUtf7Class::Forbidden;
    for (int c = 'A'; c <= 'Z'; ++c)
        classes[c] = TUtf7Class::Base64;
    for (int c = 'a'; c <= 'z'; ++c)
        classes[c] = TUtf7Class::Base64;
    for (int c = '0'; c <= '9'; ++c)
        classes[c] = TUtf7Class::Base64;
    classes['/'] = TUtf7Class::Base64;
    classes['+'] = TUtf7Class::Plus;
    classes['-'] = TUtf7Class::Minus;
    return classes;
}

constexpr std::array<TUtf7Class, 256> kUtf7Classes = MakeUtf7Classes();

}  // namespace

// The "+" that opens a run scores like the base64 characters after it and
// the closing "-" scores nothing. A run must be closed by "-" before any
// other character, space and line ends included; text without "+" passes
// with 0 points.
bool IsUTF7(TBytes bytes, std::int32_t& score, TIgnoreEncodes ignore) {
    if (ignore.Contains(TIgnoreEncode::ieUTF7)) return false;
    std::int64_t points = 0;
    bool valid = true;
    bool shifted = false;
    for (char c : bytes) {
        const TUtf7Class cls = kUtf7Classes[static_cast<std::uint8_t>(c)];
        if (cls == TUtf7Class::Forbidden) {
            valid = false;
            break;
        }
        if (cls == TUtf7Class::Plus && !shifted) {
            shifted = true;
        } else if (cls == TUtf7Class::Minus && shifted) {
            shifted = false;
        }
        if (shifted) {
            if (cls != TUtf7Class::Base64 && cls != TUtf7Class::Plus) {
                valid = false;
                break;
            }
            points += 2;
        }
    }
    detail::AddPoints(score, points);
    return valid;
}

}  // namespace quillmark
