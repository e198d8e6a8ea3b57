#include "csv/ConvertCsvFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#if !defined(_WIN32)
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#endif

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Utf.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::ReadBytes;
using test::TTempDir;
using test::WriteBytes;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

// The system's error numbers for a missing folder and a folder in the way.
#if defined(_WIN32)
constexpr int kNoFolder = 3;     // ERROR_PATH_NOT_FOUND
constexpr int kFolderInWay = 5;  // ERROR_ACCESS_DENIED
#else
constexpr int kNoFolder = ENOENT;
constexpr int kFolderInWay = EISDIR;
#endif

std::string Text(std::u16string_view text) {
    return Utf16ToUtf8(text);
}

std::string CreateError(const std::filesystem::path& path, int error) {
    return Text(
        Format(messages::CreateErrorPattern, {ExpandFileName(FromNativePath(path)), SystemErrorText(error)}));
}

[[maybe_unused]] std::string WriteError(const std::filesystem::path& path, int error) {
    return Text(
        Format(messages::WriteErrorPattern, {ExpandFileName(FromNativePath(path)), SystemErrorText(error)}));
}

class ConvertCsvFileTest : public ::testing::Test {
  protected:
    void Convert(const std::string& source, const std::string& target, TColumnSet quote = {0},
                 int encoding = 1) {
        ConvertCsvFile(folder.File(source), quote, encoding, folder.File(target));
    }
    TTempDir folder;
};

TEST_F(ConvertCsvFileTest, QuotesTheTickedColumns) {
    WriteBytes(folder / "in.csv", "\"a,b\",c\n\"x\"\"y\",\n");
    Convert("in.csv", "out.csv", {0});
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "\"a,b\",c\r\n\"x\"\"y\",\r\n");
}

TEST_F(ConvertCsvFileTest, ReadsShiftJisWritesUtf8) {
    WriteBytes(folder / "in.csv", "\x82\xA0,\x82\xA2\r\n");
    Convert("in.csv", "out.csv", {1});
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "\xE3\x81\x82,\"\xE3\x81\x84\"\r\n");
}

TEST_F(ConvertCsvFileTest, SameFileIsReadBeforeItIsReplaced) {
    WriteBytes(folder / "data.csv", "a,b\nc,d\n");
    Convert("data.csv", "data.csv", {1});
    EXPECT_EQ(ReadBytes(folder / "data.csv"), "a,\"b\"\r\nc,\"d\"\r\n");
    EXPECT_EQ(folder.Listing(), "data.csv");
}

#if !defined(_WIN32)
// POSIX mode bits (Windows: the read-only attribute in ConvertCsvFileWin32Test.cpp).
TEST_F(ConvertCsvFileTest, ExistingTargetIsReplacedWhole) {
    WriteBytes(folder / "in.csv", "a\n");
    WriteBytes(folder / "out.csv", std::string(10000, 'z'));
    ::chmod((folder / "out.csv").c_str(), 0640);
    Convert("in.csv", "out.csv", {});
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "a\r\n");
    EXPECT_EQ(std::filesystem::status(folder / "out.csv").permissions() & std::filesystem::perms::all,
              static_cast<std::filesystem::perms>(0640));
}
#endif

#if !defined(_WIN32)
// Symbolic links, which Windows gives to administrators only.
TEST_F(ConvertCsvFileTest, SymbolicLinkTargetKeepsTheLink) {
    WriteBytes(folder / "in.csv", "a\n");
    WriteBytes(folder / "real.csv", "old");
    std::filesystem::create_symlink("real.csv", folder / "link.csv");
    Convert("in.csv", "link.csv", {0});
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.csv"));
    EXPECT_EQ(ReadBytes(folder / "real.csv"), "\"a\"\r\n");
}
#endif

TEST_F(ConvertCsvFileTest, MissingSourceTouchesNothing) {
    EXPECT_THAT([&] { Convert("missing.csv", "out.csv"); },
                ThrowsMessage<EFileNotFoundException>(StrEq(Text(messages::SourceNotFound))));
    std::filesystem::create_directory(folder / "dir.csv");
    EXPECT_THROW(Convert("dir.csv", "out.csv"), EFileNotFoundException);
    EXPECT_THROW(ConvertCsvFile(u"", {}, 0, folder.File("out.csv")), EFileNotFoundException);
    EXPECT_EQ(folder.Listing(), "dir.csv");
}

TEST_F(ConvertCsvFileTest, UnreadableSourceLeavesTheTarget) {
    const test::TUnixSocket socket(folder / "in.csv");
    WriteBytes(folder / "out.csv", "old");

    EXPECT_THAT([&] { Convert("in.csv", "out.csv"); },
                ThrowsMessage<Exception>(StrEq(Text(messages::CsvReadFailed))));
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "old");
}

TEST_F(ConvertCsvFileTest, TargetThatCannotBeCreatedNamesItsFullPath) {
    WriteBytes(folder / "in.csv", "a\n");
    EXPECT_THAT([&] { Convert("in.csv", "no/such/out.csv"); },
                ThrowsMessage<EFCreateError>(StrEq(CreateError(folder / "no/such/out.csv", kNoFolder))));
    std::filesystem::create_directory(folder / "dir");
    EXPECT_THAT([&] { Convert("in.csv", "dir"); },
                ThrowsMessage<EFCreateError>(StrEq(CreateError(folder / "dir", kFolderInWay))));
    EXPECT_EQ(folder.Listing(), "dir in.csv");
}

TEST_F(ConvertCsvFileTest, RelativeTargetIsShownExpanded) {
    WriteBytes(folder / "in.csv", "a\n");
    const auto current = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    EXPECT_THAT([&] { ConvertCsvFile(folder.File("in.csv"), {}, 1, u"missing/../x/out.csv"); },
                ThrowsMessage<EFCreateError>(StrEq(CreateError(folder / "x/out.csv", kNoFolder))));
    std::filesystem::current_path(current);
}

#if !defined(_WIN32)
// A file-size limit (setrlimit) stops the writing half way; Windows has none.
TEST_F(ConvertCsvFileTest, WriteFailureHalfWayKeepsTheOldTarget) {
    std::string source;
    for (int i = 0; i < 20000; ++i)
        source += "row " + std::to_string(i) + ",value\n";
    WriteBytes(folder / "in.csv", source);
    WriteBytes(folder / "out.csv", "precious");

    // A file-size limit makes the system refuse the write part of the way in.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    std::string message;
    try {
        Convert("in.csv", "out.csv");
    } catch (const EWriteError& error) {
        message = error.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(message, WriteError(folder / "out.csv", EFBIG));
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "precious");
    EXPECT_EQ(folder.Listing(), "in.csv out.csv");
}
#endif

#if !defined(_WIN32)
// /dev/full, through a link in the test's folder.
TEST_F(ConvertCsvFileTest, FullDeviceReportsTheWriteError) {
    WriteBytes(folder / "in.csv", "a\n");
    std::filesystem::create_symlink("/dev/full", folder / "full.csv");
    EXPECT_THAT([&] { ConvertCsvFile(folder.File("in.csv"), {}, 1, folder.File("full.csv")); },
                ThrowsMessage<EWriteError>(StrEq(WriteError(folder / "full.csv", ENOSPC))));
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "full.csv"));
}
#endif

}  // namespace
}  // namespace quillmark
