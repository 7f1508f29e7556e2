// The engine's only contact with the operating system: one file handle, one file per
// platform (OsFileWin32.cpp, OsFilePosix.cpp), chosen by CMake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

// Owns one open file; closes it on destruction. Move-only.
class COsFile {
 public:
  COsFile() = default;
  ~COsFile();
  COsFile(COsFile&& other) noexcept;
  COsFile& operator=(COsFile&& other) noexcept;
  COsFile(const COsFile&) = delete;
  COsFile& operator=(const COsFile&) = delete;

  // Creates `path` for writing, replacing any file of that name by an empty one. On
  // Windows nobody else may open it while it is open here (share mode 0). False when
  // it cannot be created; an existing file is then left untouched.
  bool CreateAlways(const std::filesystem::path& path);
  // Opens an existing plain file for reading, without waiting (a FIFO is not waited on).
  // On Windows others may read it meanwhile but not write it. False when it cannot be
  // opened or is not a plain file (a folder, FIFO, pipe or device).
  bool OpenForRead(const std::filesystem::path& path);

  bool IsOpen() const;
  // Writes all n bytes; false on the first failure (some may have been written).
  bool Write(const void* data, std::size_t n);
  // One read of at most n bytes; returns the bytes read (0 on failure or at the end).
  std::size_t Read(void* data, std::size_t n);
  // The file's size in bytes; false when it cannot be taken.
  bool Size(std::uint64_t* size) const;
  // Closes the file; false when the system reports a failure. Closing a closed file
  // does nothing and succeeds.
  bool Close();

 private:
#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));  // INVALID_HANDLE_VALUE
#else
  int fd_ = -1;
#endif
};
