// The file seam on the Windows API: share modes, attributes, error texts.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#define NOGDI
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Stream.h"
#include "base/Utf.h"
#include "support/Platform.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::ReadBytes;
using test::TTempDir;
using test::WriteBytes;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

std::string CreateError(const std::filesystem::path& path, DWORD error) {
    return Utf16ToUtf8(Format(messages::CreateErrorPattern, {ExpandFileName(FromNativePath(path)),
                                                             SystemErrorText(static_cast<int>(error))}));
}

HANDLE Open(const std::filesystem::path& path, DWORD access, DWORD share) {
    return ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(FileStreamWin32, DeniesOtherWritersAndWelcomesReaders) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "abc");
    {
        TFileStream stream(folder.File("in.csv"));
        const HANDLE writer = Open(folder / "in.csv", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        const HANDLE reader = Open(folder / "in.csv", GENERIC_READ, FILE_SHARE_READ);
        EXPECT_NE(reader, INVALID_HANDLE_VALUE);
        ::CloseHandle(reader);
        TFileStream second(folder.File("in.csv"));
        char bytes[3];
        second.ReadBuffer(bytes, 3);
        EXPECT_EQ(std::string(bytes, 3), "abc");
    }
    // Closed, the file takes writers again.
    const HANDLE writer = Open(folder / "in.csv", GENERIC_WRITE, 0);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE);
    ::CloseHandle(writer);
}

TEST(FileStreamWin32, FileOpenForWritingElsewhereCannotBeRead) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "abc");
    const HANDLE writer = Open(folder / "in.csv", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_THROW(TFileStream(folder.File("in.csv")), EFOpenError);
    ::CloseHandle(writer);
}

TEST(FileStreamWin32, ReadAtLeavesThePositionOfRead) {
    TTempDir folder;
    WriteBytes(folder / "f", "0123456789");
    TFileStream stream(folder.File("f"));
    char bytes[4] = {};
    EXPECT_EQ(stream.Read(bytes, 2), 2u);
    EXPECT_EQ(stream.ReadAt(6, bytes, 4), 4u);
    EXPECT_EQ(std::string(bytes, 4), "6789");
    EXPECT_EQ(stream.ReadAt(8, bytes, 4), 2u);
    EXPECT_EQ(stream.Position(), 2u);
    EXPECT_EQ(stream.Read(bytes, 3), 3u);
    EXPECT_EQ(std::string(bytes, 3), "234");
}

// A target that is read-only, held open without sharing, or in a folder that
// does not exist is reported before anything is written, and stays as it was.
struct TRefusedCase {
    const char* Name;
    DWORD Error;
};

class SafeFileWriterRefusedTest : public ::testing::TestWithParam<TRefusedCase> {};

TEST_P(SafeFileWriterRefusedTest, ReportsTheCreateErrorAndKeepsTheOldFile) {
    TTempDir folder;
    WriteBytes(folder / "out.csv", "precious");
    std::filesystem::path target = folder / "out.csv";
    HANDLE held = INVALID_HANDLE_VALUE;
    if (GetParam().Error == ERROR_ACCESS_DENIED) {
        ASSERT_TRUE(::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    if (GetParam().Error == ERROR_SHARING_VIOLATION) held = Open(target, GENERIC_READ, 0);
    if (GetParam().Error == ERROR_PATH_NOT_FOUND) target = folder / "missing" / "out.csv";

    EXPECT_THAT([&] { TSafeFileWriter writer(FromNativePath(target)); },
                ThrowsMessage<EFCreateError>(StrEq(CreateError(target, GetParam().Error))));

    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    ::SetFileAttributesW((folder / "out.csv").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "precious");
    EXPECT_EQ(folder.Listing(), "out.csv");
}

INSTANTIATE_TEST_SUITE_P(Targets, SafeFileWriterRefusedTest,
                         ::testing::Values(TRefusedCase{"ReadOnly", ERROR_ACCESS_DENIED},
                                           TRefusedCase{"HeldWithoutSharing", ERROR_SHARING_VIOLATION},
                                           TRefusedCase{"MissingFolder", ERROR_PATH_NOT_FOUND}),
                         [](const auto& info) { return std::string(info.param.Name); });

// Held open only after the writer began: the replacement fails at the end,
// and the old file is still whole.
TEST(SafeFileWriterWin32, TargetLockedDuringTheWriteIsLeftWhole) {
    TTempDir folder;
    WriteBytes(folder / "out.csv", "precious");
    TSafeFileWriter writer(folder.File("out.csv"));
    writer.Write("new");
    const HANDLE held = Open(folder / "out.csv", GENERIC_READ, 0);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_THROW(writer.Commit(), EWriteError);
    ::CloseHandle(held);
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "precious");
    EXPECT_EQ(folder.Listing(), "out.csv");
}

TEST(SafeFileWriterWin32, ReplacingKeepsTheOldFilesAttributes) {
    TTempDir folder;
    WriteBytes(folder / "out.csv", std::string(5000, 'x'));
    ASSERT_TRUE(::SetFileAttributesW((folder / "out.csv").c_str(), FILE_ATTRIBUTE_HIDDEN));
    TSafeFileWriter writer(folder.File("out.csv"));
    writer.Write(std::string(3 << 20, 'a'));  // larger than the buffer
    writer.Write("b");
    writer.Commit();
    EXPECT_EQ(ReadBytes(folder / "out.csv"), std::string(3 << 20, 'a') + "b");
    // Wine's ReplaceFileW does not carry the old file's attributes over.
    if (!test::UnderWine()) {
        EXPECT_NE(::GetFileAttributesW((folder / "out.csv").c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    }
    EXPECT_EQ(folder.Listing(), "out.csv");
}

TEST(SafeFileWriterWin32, DevicesAreWrittenDirectly) {
    TSafeFileWriter writer(u"NUL");
    writer.Write("into nothing");
    writer.Commit();
}

TEST(FileSystemWin32, ErrorTextsComeFromTheSystem) {
    for (const DWORD error : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
        const std::u16string text = SystemErrorText(static_cast<int>(error));
        EXPECT_FALSE(text.empty());
        EXPECT_FALSE(text.starts_with(u"Error ")) << error;
        EXPECT_NE(text.back(), u'\n');
    }
}

TEST(FileSystemWin32, PathsAreWindowsPaths) {
    TTempDir folder;
    WriteBytes(folder / "f", "");
    std::filesystem::create_directory(folder / "d");
    EXPECT_TRUE(FileExists(folder.File("f")));
    EXPECT_FALSE(FileExists(folder.File("d")));
    EXPECT_FALSE(FileExists(folder.File("missing")));
    const std::u16string expanded = ExpandFileName(folder.File("d") + u"/../x/./y.csv");
    EXPECT_EQ(expanded, FromNativePath(folder.Path()) + u"\\x\\y.csv");
    const std::u16string self = ApplicationExeName();
    EXPECT_TRUE(self.ends_with(u".exe")) << Utf16ToUtf8(self);
    EXPECT_TRUE(FileExists(self));
}

}  // namespace
}  // namespace quillmark
