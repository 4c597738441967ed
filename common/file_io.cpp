#include "file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include "win_text.h"
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fileio {

#ifdef _WIN32

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
  if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD move_error = GetLastError();
    DeleteFileW(temp.c_str());
    return fail(move_error);
  }
  return true;
}

#else

ReadStatus ReadFileStatus(const std::string& path, std::string& bytes, std::string* reason) {
  bytes.clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    const int code = errno;
    if (code == ENOENT || code == ENOTDIR) return ReadStatus::Missing;
    if (reason) *reason = std::strerror(code);
    return ReadStatus::Unreadable;
  }
  char buffer[65536];
  std::size_t got;
  errno = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  const int code = std::ferror(file) ? (errno ? errno : EIO) : 0;
  std::fclose(file);
  if (code == 0) return ReadStatus::Ok;
  if (reason) *reason = std::strerror(code);
  return ReadStatus::Unreadable;
}

bool WriteFileAtomic(const std::string& path, const std::string& bytes, std::string* error) {
  const std::string temp = path + ".~tmp";
  auto fail = [&](int code) {
    if (error) *error = std::strerror(code);
    return false;
  };
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return fail(errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int code = n < 0 ? errno : EIO;
      ::close(fd);
      ::unlink(temp.c_str());
      return fail(code);
    }
    done += static_cast<std::size_t>(n);
  }
  int code = ::fsync(fd) != 0 ? errno : 0;
  if (::close(fd) != 0 && code == 0) code = errno;
  if (code != 0) {
    ::unlink(temp.c_str());
    return fail(code);
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    const int code = errno;
    ::unlink(temp.c_str());
    return fail(code);
  }
  return true;
}

#endif

bool ReadFile(const std::string& path, std::string& bytes) {
  return ReadFileStatus(path, bytes) == ReadStatus::Ok;
}

}  // namespace fileio
