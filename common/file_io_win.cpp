#include <windows.h>

#include "file_io.h"
#include "file_io_win.h"
#include "win_text.h"

namespace fileio {

static std::wstring Widen(const std::string& s) { return mokuna::WidenSjis(s); }

static std::string SystemReason(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason = n ? std::wstring(text, n) : L"error " + std::to_wstring(code);
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n' || reason.back() == L' '))
    reason.pop_back();
  return mokuna::NarrowToSjis(reason);
}

static DWORD SystemReplace(const std::wstring& full_target, const std::wstring& full_temp) {
  return ReplaceFileW(full_target.c_str(), full_temp.c_str(), nullptr,
                      REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr)
             ? 0
             : GetLastError();
}

static DWORD SystemMove(const std::wstring& temp, const std::wstring& target) {
  return MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? 0
             : GetLastError();
}

PlacementSteps& Placement() {
  static PlacementSteps steps{SystemReplace, SystemMove};
  return steps;
}

// Moves temp to target, replacing it whatever it was. 0 or the system's error.
static DWORD MoveOver(const std::wstring& temp, const std::wstring& target) { return Placement().move(temp, target); }

// Gives target back the attributes the user had set on the file it replaced (hidden, say).
static void KeepAttributes(const std::wstring& target, DWORD old_attributes) {
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  const DWORD now = GetFileAttributesW(target.c_str());
  if (now != INVALID_FILE_ATTRIBUTES && (now & kKept) != (old_attributes & kKept))
    SetFileAttributesW(target.c_str(), (now & ~kKept) | (old_attributes & kKept));
}

static std::wstring FullPath(const std::wstring& path) {
  const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  const DWORD got = GetFullPathNameW(path.c_str(), n, &full[0], nullptr);
  if (got == 0 || got >= n) return path;
  full.resize(got);
  return full;
}

// Puts temp in place of the existing target so that what the user set on the file survives: its access
// list, encryption, streams and attributes. 0 or the system's error.
static DWORD Replace(const std::wstring& temp, const std::wstring& target, DWORD attributes) {
  // Full paths: Wine's replace fails on bare names.
  const std::wstring full_target = FullPath(target);
  const DWORD code = Placement().replace(full_target, FullPath(temp));
  if (code == 0) {
    KeepAttributes(full_target, attributes);  // Wine's replace drops them
    return 0;
  }
  switch (code) {
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:    // the old file is gone, the new one still has its temporary name
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:  // (only with a backup name, which is never given)
    case ERROR_FILE_NOT_FOUND:                // the old file went away meanwhile
    case ERROR_INVALID_FUNCTION:              // a file system that cannot replace
    case ERROR_NOT_SUPPORTED:
    case ERROR_CALL_NOT_IMPLEMENTED:
      break;
    default:
      return code;  // held open, denied: the old file stays as it was
  }
  const DWORD move_error = MoveOver(temp, target);
  if (move_error != 0) return move_error;
  KeepAttributes(target, attributes);
  return 0;
}

std::FILE* OpenForReading(const std::string& path) { return _wfopen(Widen(path).c_str(), L"rb"); }

ReadStatus ReadFileStatus(const std::string& path, std::string& bytes, std::string* reason) {
  bytes.clear();
  HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return ReadStatus::Missing;
    if (reason) *reason = SystemReason(code);
    return ReadStatus::Unreadable;
  }
  char buffer[65536];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ::ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) bytes.append(buffer, got);
  const DWORD code = ok ? 0 : GetLastError();
  CloseHandle(file);
  if (ok) return ReadStatus::Ok;
  if (reason) *reason = SystemReason(code ? code : ERROR_READ_FAULT);
  return ReadStatus::Unreadable;
}

bool WriteFileAtomic(const std::string& path, const std::string& bytes, std::string* error) {
  const std::wstring target = Widen(path);
  const std::wstring temp = target + L".~tmp";
  auto fail = [&](DWORD code) {
    if (error) *error = SystemReason(code);
    return false;
  };
  // Windows refuses to move over a read-only file; say so before writing anything, the same on every file
  // system (some, and Wine's as root, would let the move through).
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return fail(ERROR_ACCESS_DENIED);
  HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail(GetLastError());
  DWORD written = 0;
  const bool wrote = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size() && FlushFileBuffers(file);
  const DWORD write_error = GetLastError();
  CloseHandle(file);
  if (!wrote) {
    DeleteFileW(temp.c_str());
    return fail(write_error ? write_error : ERROR_WRITE_FAULT);
  }
  DWORD code = attributes == INVALID_FILE_ATTRIBUTES ? MoveOver(temp, target) : Replace(temp, target, attributes);
  if (code == 0) return true;
  if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
    DeleteFileW(temp.c_str());  // the old file is still in place
    return fail(code);
  }
  // No file under the target's name: the temporary file is the only copy of the settings. One more try
  // (a virus scanner or an indexer may have held it for a moment), and then it stays where the user can
  // find it.
  code = MoveOver(temp, target);
  if (code == 0) {
    if (attributes != INVALID_FILE_ATTRIBUTES) KeepAttributes(target, attributes);
    return true;
  }
  if (error)
    *error = SystemReason(code) + "\r\n新しい内容は " + mokuna::NarrowToSjis(FullPath(temp)) + " に残っています。";
  return false;
}

}  // namespace fileio
