#include <gmock/gmock.h>
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Stream.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::ReadBytes;
using test::TTempDir;
using test::WriteBytes;

TEST(SafeFileWriter, NothingLandsWithoutCommit) {
    TTempDir folder;
    WriteBytes(folder / "out.csv", "old");
    {
        TSafeFileWriter writer(folder.File("out.csv"));
        writer.Write("new content");
    }
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "old");
    EXPECT_EQ(folder.Listing(), "out.csv");
}

#if !defined(_WIN32)
// POSIX mode bits (Windows: SafeFileWriterWin32Test.cpp).
TEST(SafeFileWriter, CommitReplacesWholeAndKeepsMode) {
    TTempDir folder;
    WriteBytes(folder / "out.csv", std::string(5000, 'x'));
    ::chmod((folder / "out.csv").c_str(), 0604);
    TSafeFileWriter writer(folder.File("out.csv"));
    writer.Write(std::string(3 << 20, 'a'));  // larger than the buffer
    writer.Write("b");
    writer.Commit();
    EXPECT_EQ(ReadBytes(folder / "out.csv"), std::string(3 << 20, 'a') + "b");
    struct stat info;
    ASSERT_EQ(::stat((folder / "out.csv").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    EXPECT_EQ(folder.Listing(), "out.csv");
}
#endif

#if !defined(_WIN32)
// POSIX umask.
TEST(SafeFileWriter, NewFileFollowsTheUmask) {
    TTempDir folder;
    const mode_t saved = ::umask(027);
    {
        TSafeFileWriter writer(folder.File("new.csv"));
        writer.Commit();
    }
    ::umask(saved);
    struct stat info;
    ASSERT_EQ(::stat((folder / "new.csv").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}
#endif

TEST(SafeFileWriter, LongNamesStillGetATemporaryFile) {
    TTempDir folder;
    const std::string name(250, 'n');
    TSafeFileWriter writer(folder.File(name));
    writer.Write("x");
    writer.Commit();
    EXPECT_EQ(ReadBytes(folder / name), "x");
}

TEST(FileStream, OpensFilesOnly) {
    TTempDir folder;
    EXPECT_THROW(TFileStream(folder.File("missing")), EFOpenError);
    EXPECT_THROW(TFileStream(folder.File("")), EFOpenError);
    WriteBytes(folder / "f", "abc");
    TFileStream stream(folder.File("f"));
    EXPECT_EQ(stream.Size(), 3u);
    char buffer[4] = {};
    EXPECT_EQ(stream.Read(buffer, 4), 3u);
    EXPECT_STREQ(buffer, "abc");
    stream.Seek(1);
    EXPECT_THROW(stream.ReadBuffer(buffer, 3), EReadError);
}

#if !defined(_WIN32)
// Symbolic links, which Windows gives to administrators only.
TEST(FileExists, FollowsLinksAndSkipsFolders) {
    TTempDir folder;
    WriteBytes(folder / "f", "");
    std::filesystem::create_symlink("f", folder / "link");
    std::filesystem::create_symlink("gone", folder / "dangling");
    EXPECT_TRUE(FileExists(folder.File("f")));
    EXPECT_TRUE(FileExists(folder.File("link")));
    EXPECT_FALSE(FileExists(folder.File("dangling")));
    EXPECT_FALSE(FileExists(folder.File("")));
    EXPECT_FALSE(FileExists(u""));
}
#endif

}  // namespace
}  // namespace quillmark
