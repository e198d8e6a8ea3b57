#include "text/Utf8Cleaner.h"

#include <gtest/gtest.h>

#include <random>

#include "base/CodePage.h"
#include "base/Utf.h"
#include "support/Platform.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

// What the cleaner must give: the decoded text, without U+0080, in UTF-8.
std::string Expected(std::string_view bytes) {
    std::u16string text = *MultiByteToWideChar(CP_UTF_8, bytes);
    std::erase(text, u'\x80');
    return Utf16ToUtf8(text);
}

TEST(Utf8CleanerTest, PiecesOfAnySizeGiveTheDecodedText) {
    const std::vector<std::string> tokens = {"a",
                                             ",",
                                             "\xE3\x81\x82",
                                             "\xF0\x9F\x98\x80",
                                             "\xC2\x80",
                                             "\xC2\x81",
                                             "\xE3\x81",
                                             "\xE3",
                                             "\x80",
                                             "\xBF",
                                             "\xFF",
                                             "\xC0\xAF",
                                             "\xED\xA0\x80",
                                             "\xE0\x80",
                                             "\xE0\xA0",
                                             "\xF4\x90\x80\x80",
                                             "\xF0\x9F",
                                             "\xF8\x88"};
    // Wine's UTF-8 decoder gives fewer U+FFFD than Windows for some
    // ill-formed sequences (F4 90 80 80, C0 AF): left out there.
    if (test::UnderWine()) GTEST_SKIP() << "Wine reads ill-formed UTF-8 differently";
    std::mt19937 random(4242);
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        for (int i = random() % 12; i > 0; --i)
            bytes += tokens[random() % tokens.size()];
        const std::string expected = Expected(bytes);
        for (std::size_t size = 1; size <= bytes.size() + 1; ++size) {
            TUtf8Cleaner cleaner;
            std::string clean;
            for (std::size_t at = 0; at < bytes.size(); at += size)
                cleaner.Clean(std::string_view(bytes).substr(at, size), false, clean);
            cleaner.Clean({}, true, clean);
            ASSERT_EQ(test::Escape(clean), test::Escape(expected))
                << test::Escape(bytes) << " in pieces of " << size;
        }
    }
}

// Long texts are checked 32 or 64 bytes at a time where the processor can:
// a flaw must be found at every place in a block, across two blocks and in
// the bytes after the last whole block.
TEST(Utf8CleanerTest, AFlawAnywhereInALongTextIsFound) {
    const std::vector<std::string> good = {"a",
                                           ",",
                                           "\xE3\x81\x82",
                                           "\xF0\x9F\x98\x80",
                                           "\xC2\x81",
                                           "\xDF\xBF",
                                           "\xED\x9F\xBF",
                                           "\xEE\x80\x80",
                                           "\xF4\x8F\xBF\xBF",
                                           "\xE0\xA0\x80"};
    const std::vector<std::string> flaws = {
        "\xC2\x80",         "\xE3\x81",         "\x80",         "\xFF",
        "\xC0\xAF",         "\xED\xA0\x80",     "\xE0\x9F\xBF", "\xF4\x90\x80\x80",
        "\xF0\x8F\xBF\xBF", "\xF5\x80\x80\x80", "\xC1\xBF",     "\xE3"};
    std::mt19937 random(77);
    std::string text;
    while (text.size() < 300)
        text += good[random() % good.size()];
    EXPECT_TRUE(IsCleanUtf8(text));
    for (const std::string& flaw : flaws) {
        for (std::size_t at = 0; at <= text.size(); ++at) {
            // Only between whole characters.
            if (at < text.size() && (static_cast<std::uint8_t>(text[at]) & 0xC0) == 0x80) continue;
            const std::string bytes = text.substr(0, at) + flaw + text.substr(at);
            ASSERT_FALSE(IsCleanUtf8(bytes)) << test::Escape(bytes);
            TUtf8Cleaner cleaner;
            ASSERT_EQ(test::Escape(std::string(cleaner.Clean(bytes, true))), test::Escape(Expected(bytes)))
                << test::Escape(bytes);
        }
    }
}

TEST(Utf8CleanerTest, StructureOnlyDropsJustU0080) {
    const std::string bytes = "a\xC2\x80\xE3\xC2\x80\x81\xC2\xC2\x80\xFF\xC2";
    for (std::size_t size = 1; size <= bytes.size(); ++size) {
        TUtf8Cleaner cleaner(true);
        std::string out;
        for (std::size_t at = 0; at < bytes.size(); at += size)
            cleaner.Clean(std::string_view(bytes).substr(at, size), false, out);
        cleaner.Clean({}, true, out);
        EXPECT_EQ(test::Escape(out), test::Escape("a\xE3\x81\xC2\xFF\xC2")) << size;
    }
}

}  // namespace
}  // namespace quillmark
