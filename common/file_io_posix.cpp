#include "file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace fileio {

std::FILE* OpenForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

ReadStatus ReadFileStatus(const std::string& path, std::string& bytes, std::string* reason) {
  bytes.clear();
  std::FILE* file = OpenForReading(path);
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

}  // namespace fileio
