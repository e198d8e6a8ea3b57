#include "cli/CommandLineWin32.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

struct TSplitCase {
    std::u16string Line;
    std::vector<std::u16string> Arguments;
};

class SplitCommandLineTest : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(SplitCommandLineTest, SplitsAsTheBatchFileExpects) {
    EXPECT_EQ(SplitCommandLine(GetParam().Line), GetParam().Arguments);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitCommandLineTest,
    ::testing::Values(
        TSplitCase{u"quillmark-cli.exe", {}}, TSplitCase{u"", {}},
        TSplitCase{u"\"C:\\Program Files\\q.exe\" /auto", {u"/auto"}},
        // The C runtime would read \" as a quotation mark inside the argument.
        TSplitCase{u"q \"/target:C:\\out dir\\\" \"/quote:0,2\"", {u"/target:C:\\out dir\\", u"/quote:0,2"}},
        TSplitCase{u"q   /a\t\t/b\r\n/c \x01/d", {u"/a", u"/b", u"/c", u"/d"}},
        TSplitCase{u"q /source:\"My Data\"\\in.csv x\"y z\"", {u"/source:My Data\\in.csv", u"xy z"}},
        TSplitCase{u"q \"\" \"unclosed  stretch", {u"", u"unclosed  stretch"}},
        TSplitCase{u"q \"/source:日本語 フォルダ\\入力.csv\"", {u"/source:日本語 フォルダ\\入力.csv"}},
        TSplitCase{u"q \\\\server\\share\\a.csv \\\"x", {u"\\\\server\\share\\a.csv", u"\\x"}}));

}  // namespace
}  // namespace quillmark
