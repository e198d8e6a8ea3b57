#include "base/Utf.h"

#include <gtest/gtest.h>

#include <random>

namespace quillmark {
namespace {

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

class Utf8Decoding : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Decoding, OneReplacementPerMaximalSubpart) {
    EXPECT_EQ(Utf8ToUtf16(GetParam().utf8), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Utf8Decoding,
    ::testing::Values(Utf8Case{"Ascii", "a,b", u"a,b"}, Utf8Case{"Japanese", "\xE3\x81\x82", u"あ"},
                      Utf8Case{"Supplementary", "\xF0\x9F\x98\x80", u"\U0001F600"},
                      Utf8Case{"Nul", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
                      Utf8Case{"OverlongTwo", "\xC0\x80", u"\xFFFD\xFFFD"},
                      Utf8Case{"OverlongThree", "\xE0\x80\x80", u"\xFFFD\xFFFD\xFFFD"},
                      Utf8Case{"EncodedSurrogate", "\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD"},
                      Utf8Case{"AboveMaximum", "\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"},
                      Utf8Case{"FiveByteForm", "\xF8\x88\x80\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD\xFFFD"},
                      Utf8Case{"CutByAscii", "\xE3\x81\x41",
                               u"\xFFFD"
                               u"A"},
                      Utf8Case{"CutByEnd", "\xE3\x81", u"\xFFFD"},
                      Utf8Case{"LoneTrail", "\x82\xA0", u"\xFFFD\xFFFD"},
                      Utf8Case{"MarkIsKept",
                               "\xEF\xBB\xBF"
                               "a",
                               u"\xFEFF"
                               u"a"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf16ToUtf8, UnpairedSurrogatesBecomeReplacementCharacters) {
    EXPECT_EQ(Utf16ToUtf8(u"\xD800"
                          u"A"
                          u"\xDC00"),
              "\xEF\xBF\xBD"
              "A"
              "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(u"\xD83D"), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600あ"), "\xF0\x9F\x98\x80\xE3\x81\x82");
}

TEST(NativeStrings, AnyBytesSurviveTheRoundTrip) {
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        std::string bytes(random() % 12, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() % 256);
        ASSERT_EQ(UnicodeToNative(NativeToUnicode(bytes)), bytes) << i;
    }
}

TEST(NativeStrings, ValidUtf8DecodesAsUtf8) {
    EXPECT_EQ(NativeToUnicode("データ/\xE3\x81\x82.csv"), u"データ/あ.csv");
    EXPECT_EQ(NativeToUnicode("a\xFF"), u"a\xDCFF");
    EXPECT_EQ(UnicodeToNative(u"a\xDCFF"), "a\xFF");
}

// The run ends at the first byte from 0x80 up, wherever it falls in a group
// of eight, and the copy holds exactly the run.
TEST(SevenBitRunTest, EndsAtTheFirstHighByteAnywhere) {
    for (std::size_t size = 0; size <= 20; ++size) {
        for (std::size_t high = 0; high <= size; ++high) {
            std::string bytes(size, 'a');
            if (high < size) bytes[high] = '\x80';
            const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
            ASSERT_EQ(SevenBitRun(data, size), high) << size << " " << high;
            std::u16string wide(size, u'-');
            ASSERT_EQ(CopySevenBitRun(data, size, wide.data()), high);
            EXPECT_EQ(wide, std::u16string(high, u'a') + std::u16string(size - high, u'-'));
        }
    }
}

}  // namespace
}  // namespace quillmark
