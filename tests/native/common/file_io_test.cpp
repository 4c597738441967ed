#include "file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

class FileIo : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/mokuna-fileio-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(templ));
    dir_ = templ;
  }
  void TearDown() override { std::system(("chmod -R u+w " + dir_ + " && rm -rf " + dir_).c_str()); }
  std::string dir_;
};

TEST_F(FileIo, WriteReplacesWholeFileAndLeavesNoTemporary) {
  const std::string path = dir_ + "/edll.ini";
  ASSERT_TRUE(fileio::WriteFileAtomic(path, "a much longer first content\r\n"));
  ASSERT_TRUE(fileio::WriteFileAtomic(path, "short\r\n"));
  std::string bytes;
  ASSERT_TRUE(fileio::ReadFile(path, bytes));
  EXPECT_EQ("short\r\n", bytes);
  EXPECT_FALSE(fileio::ReadFile(path + ".~tmp", bytes));
}

TEST_F(FileIo, BinaryBytesSurviveUnchanged) {
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  const std::string path = dir_ + "/bytes";
  ASSERT_TRUE(fileio::WriteFileAtomic(path, all));
  std::string back;
  ASSERT_TRUE(fileio::ReadFile(path, back));
  EXPECT_EQ(all, back);
}

TEST_F(FileIo, UnwritableFolderKeepsOldFileAndGivesReason) {
  if (geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  const std::string path = dir_ + "/edll.ini";
  ASSERT_TRUE(fileio::WriteFileAtomic(path, "old"));
  ASSERT_EQ(0, chmod(dir_.c_str(), 0555));
  std::string reason;
  EXPECT_FALSE(fileio::WriteFileAtomic(path, "new", &reason));
  EXPECT_FALSE(reason.empty());
  std::string bytes;
  ASSERT_TRUE(fileio::ReadFile(path, bytes));
  EXPECT_EQ("old", bytes);
}

TEST_F(FileIo, MissingFolderFailsWithReason) {
  std::string reason;
  EXPECT_FALSE(fileio::WriteFileAtomic(dir_ + "/no/such/file", "x", &reason));
  EXPECT_FALSE(reason.empty());
  std::string bytes;
  EXPECT_FALSE(fileio::ReadFile(dir_ + "/absent", bytes));
}

TEST_F(FileIo, ReadTellsMissingFromUnreadable) {
  ASSERT_TRUE(fileio::WriteFileAtomic(dir_ + "/present", "bytes"));
  ASSERT_EQ(0, mkdir((dir_ + "/folder").c_str(), 0755));
  const struct {
    std::string name;
    fileio::ReadStatus status;
  } cases[] = {
      {"present", fileio::ReadStatus::Ok},
      {"absent", fileio::ReadStatus::Missing},
      {"no/such/file", fileio::ReadStatus::Missing},
      {"present/below", fileio::ReadStatus::Missing},  // a file where a folder should be
      {"folder", fileio::ReadStatus::Unreadable},      // opens, but reading fails
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = "stale", reason;
    EXPECT_EQ(c.status, fileio::ReadFileStatus(dir_ + "/" + c.name, bytes, &reason));
    EXPECT_EQ(c.status == fileio::ReadStatus::Ok ? "bytes" : "", bytes);
    EXPECT_EQ(c.status == fileio::ReadStatus::Unreadable, !reason.empty()) << reason;
  }
}

}  // namespace
