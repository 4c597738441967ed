// Whole-file reads and atomic whole-file writes. Paths are Shift-JIS bytes, as everywhere in the system.
// Made for POSIX in file_io_posix.cpp and for Windows in file_io_win.cpp.
#pragma once

#include <cstdio>
#include <string>

namespace fileio {

// How a read ended. A file that is there but cannot be read (held open without sharing by another
// program, denied, an I/O error) must not be taken for a missing one: the caller would start from
// defaults and later write them over the user's file.
enum class ReadStatus { Ok, Missing, Unreadable };

// Reads the whole file and tells missing apart from unreadable; for Unreadable, reason (when given)
// receives the system's reason as Shift-JIS text.
ReadStatus ReadFileStatus(const std::string& path, std::string& bytes, std::string* reason = nullptr);

// Opens the file for reading bytes, as std::fopen(path, "rb") does with a Shift-JIS path on every platform:
// nullptr with errno set when it cannot.
std::FILE* OpenForReading(const std::string& path);

// Reads the whole file. False when it cannot be opened or read.
inline bool ReadFile(const std::string& path, std::string& bytes) {
  return ReadFileStatus(path, bytes) == ReadStatus::Ok;
}

// Writes bytes to a temporary file in the same folder as path and then puts it in place of path, so that a
// crash or a full disk never leaves a truncated file behind. An existing file is replaced keeping what the
// user set on it (access list, encryption, streams, the hidden attribute). On failure the old file is
// untouched and error (when given) receives the system's reason as Shift-JIS text.
bool WriteFileAtomic(const std::string& path, const std::string& bytes, std::string* error = nullptr);

}  // namespace fileio
