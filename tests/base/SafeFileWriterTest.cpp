#include <gmock/gmock.h>
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/stat.h>
#endif
#if defined(__linux__)
#include <sys/acl.h>
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

#if defined(__linux__)
// A folder's default access control list, not the umask, decides what a new
// file there allows, as for any file created in it.
TEST(SafeFileWriter, NewFileTakesTheFoldersDefaultAcl) {
    struct TCase {
        const char* Default;
        unsigned Creation;  // the mode the file is made with
        mode_t Mode;
    };
    for (const TCase& c :
         {TCase{"u::rwx,g::---,o::---", 0666, 0600}, TCase{"u::rw-,g::r--,o::r--", 0666, 0644},
          TCase{"u::rwx,u:daemon:rwx,g::r-x,m::rwx,o::---", 0666, 0660},
          TCase{"u::rwx,g::r-x,o::---", 0777, 0750}, TCase{"u::rwx,g::rwx,o::rwx", 0700, 0700}}) {
        TTempDir folder;
        acl_t list = ::acl_from_text(c.Default);
        ASSERT_NE(list, nullptr) << c.Default;
        const int set = ::acl_set_file(folder.Path().c_str(), ACL_TYPE_DEFAULT, list);
        ::acl_free(list);
        if (set != 0) GTEST_SKIP() << "the file system takes no access control lists";
        const mode_t saved = ::umask(002);
        {
            TSafeFileWriter writer(folder.File("new.csv"));
            writer.SetCreationMode(c.Creation);
            writer.Write("a\r\n");
            writer.Commit();
        }
        ::umask(saved);
        struct stat info;
        ASSERT_EQ(::stat((folder / "new.csv").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, c.Mode) << c.Default << " " << c.Creation;
        EXPECT_EQ(ReadBytes(folder / "new.csv"), "a\r\n");
    }
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
