// The atomic write against the real Windows file system (under Wine on Linux).
#include <windows.h>

#include <gtest/gtest.h>

#include "file_io.h"
#include "file_io_win.h"
#include "scratch_folder.h"

namespace {

class FileIoWin : public ::testing::Test {
 protected:
  testsupport::ScratchFolder folder_{L"mokuna-fileio"};
};

TEST_F(FileIoWin, ReplacesAnExistingFileByBareName) {
  ASSERT_TRUE(fileio::WriteFileAtomic("edll.ini", "first content that is longer\r\n"));
  ASSERT_TRUE(fileio::WriteFileAtomic("edll.ini", "second\r\n"));
  std::string bytes;
  ASSERT_TRUE(fileio::ReadFile("edll.ini", bytes));
  EXPECT_EQ("second\r\n", bytes);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"edll.ini.~tmp"));
}

TEST_F(FileIoWin, SavingKeepsTheAttributesTheUserSetOnTheFile) {
  const struct {
    const wchar_t* name;
    DWORD attributes;
  } cases[] = {
      {L"epop.ini", FILE_ATTRIBUTE_HIDDEN},
      {L"edll.ini", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
      {L"kavrel.ini", FILE_ATTRIBUTE_HIDDEN},
  };
  for (const auto& c : cases) {
    const std::string name(c.name, c.name + wcslen(c.name));
    SCOPED_TRACE(name);
    ASSERT_TRUE(fileio::WriteFileAtomic(name, "the user's settings, longer than the new ones\r\n"));
    ASSERT_TRUE(SetFileAttributesW(c.name, c.attributes));
    std::string reason;
    ASSERT_TRUE(fileio::WriteFileAtomic(name, "saved\r\n", &reason)) << reason;
    std::string bytes;
    ASSERT_TRUE(fileio::ReadFile(name, bytes));
    EXPECT_EQ("saved\r\n", bytes);
    EXPECT_EQ(c.attributes, GetFileAttributesW(c.name) & ~FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((std::wstring(c.name) + L".~tmp").c_str()));
  }
}

TEST_F(FileIoWin, ReadOnlyTargetFailsWithSystemReasonAndKeepsOldBytes) {
  ASSERT_TRUE(fileio::WriteFileAtomic("edll.ini", "old"));
  ASSERT_TRUE(SetFileAttributesW(L"edll.ini", FILE_ATTRIBUTE_READONLY));
  std::string reason;
  EXPECT_FALSE(fileio::WriteFileAtomic("edll.ini", "new", &reason));
  EXPECT_FALSE(reason.empty());
  std::string bytes;
  ASSERT_TRUE(fileio::ReadFile("edll.ini", bytes));
  EXPECT_EQ("old", bytes);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"edll.ini.~tmp"));
}

// Placement steps that fail as a failing disk or a scanner holding the file would.
int move_failures = 0;
unsigned long ReplaceLosingOld(const std::wstring& target, const std::wstring&) {
  DeleteFileW(target.c_str());
  return ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}
unsigned long ReplaceDenied(const std::wstring&, const std::wstring&) { return ERROR_ACCESS_DENIED; }
unsigned long MoveAfterFailures(const std::wstring& temp, const std::wstring& target) {
  if (move_failures-- > 0) return ERROR_SHARING_VIOLATION;
  return MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : GetLastError();
}

TEST_F(FileIoWin, AFailedReplaceNeverDeletesTheOnlyCopy) {
  const struct {
    unsigned long (*replace)(const std::wstring&, const std::wstring&);
    int move_failures;
    const char* left;  // edll.ini afterwards, "" for none; saved when it is "new"
    bool temp_kept;
  } cases[] = {{ReplaceLosingOld, 2, "", true}, {ReplaceLosingOld, 1, "new", false}, {ReplaceDenied, 5, "old", false}};
  const fileio::PlacementSteps system = fileio::Placement();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.move_failures);
    ASSERT_TRUE(fileio::WriteFileAtomic("edll.ini", "old"));
    fileio::Placement() = {c.replace, MoveAfterFailures};
    move_failures = c.move_failures;
    std::string reason, bytes;
    const bool saved = fileio::WriteFileAtomic("edll.ini", "new", &reason);
    fileio::Placement() = system;
    EXPECT_EQ(std::string(c.left) == "new", saved);
    EXPECT_EQ(*c.left != 0, fileio::ReadFile("edll.ini", bytes));
    EXPECT_EQ(c.left, bytes);
    EXPECT_EQ(c.temp_kept, fileio::ReadFile("edll.ini.~tmp", bytes) && bytes == "new");
    EXPECT_EQ(c.temp_kept, reason.find("edll.ini.~tmp") != std::string::npos) << reason;
    DeleteFileW(L"edll.ini.~tmp");
  }
}

TEST_F(FileIoWin, ShiftJisFileNamesReachTheFileSystemAsTheirCharacters) {
  const std::string name = "キャラ.bmp.msk";  // Shift-JIS bytes in the binary
  ASSERT_TRUE(fileio::WriteFileAtomic(name, "x"));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"\x30AD\x30E3\x30E9.bmp.msk"));
}

TEST_F(FileIoWin, ReadTellsMissingFromHeldOrDenied) {
  ASSERT_TRUE(fileio::WriteFileAtomic("held", "bytes"));
  ASSERT_TRUE(fileio::WriteFileAtomic("shared", "bytes"));
  ASSERT_TRUE(CreateDirectoryW(L"folder", nullptr));
  // Another program's holds: one without sharing, one that lets readers in.
  HANDLE held = CreateFileW(L"held", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE shared = CreateFileW(L"shared", GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  ASSERT_NE(INVALID_HANDLE_VALUE, shared);
  const struct {
    const char* name;
    fileio::ReadStatus status;
  } cases[] = {
      {"shared", fileio::ReadStatus::Ok},
      {"absent", fileio::ReadStatus::Missing},
      {"no\\such\\file", fileio::ReadStatus::Missing},
      {"held", fileio::ReadStatus::Unreadable},
      {"folder", fileio::ReadStatus::Unreadable},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes, reason;
    EXPECT_EQ(c.status, fileio::ReadFileStatus(c.name, bytes, &reason));
    EXPECT_EQ(c.status == fileio::ReadStatus::Ok ? "bytes" : "", bytes);
    EXPECT_EQ(c.status == fileio::ReadStatus::Unreadable, !reason.empty()) << reason;
  }
  CloseHandle(held);
  CloseHandle(shared);
}

}  // namespace
