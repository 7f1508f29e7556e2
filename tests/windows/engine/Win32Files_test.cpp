// The Windows side of the engine: the C runtime's rand() as an independent check of the
// random source, and the share modes of the two file formats.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/OsFile.h"
#include "engine/PasswordFiles.h"
#include "engine/RandomSource.h"
#include "tests/engine/TempDir.h"

TEST(RandomSourceOnWindows, FollowsTheRuntimesRand) {
  for (std::uint32_t seed : {0u, 1u, 2u, 12345u, 65535u, 65536u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    CRandomSource source;
    source.Seed(seed);
    std::srand(seed);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(source.Next(), static_cast<std::uint32_t>(std::rand())) << seed;
  }
  std::uint32_t seed = 0x9E3779B9u;
  for (int round = 0; round < 200; ++round, seed = seed * 2654435761u + 1) {
    CRandomSource source;
    source.Seed(seed);
    std::srand(seed);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(source.Next(), static_cast<std::uint32_t>(std::rand())) << seed;
  }
}

namespace {

HANDLE Open(const std::string& path, DWORD access, DWORD share) {
  return CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

// Held exclusively whether the file is new or replaces a longer one (two ways of creating).
TEST(FilesOnWindows, AListBeingWrittenIsHeldExclusively) {
  TempDir dir;
  const std::string path = dir.File("held.txt");
  for (const std::string& line : {std::string(5000, 'x'), std::string("pw")}) {
    CPasswordListFile file;
    ASSERT_TRUE(file.Create(path));
    const DWORD anyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE other = Open(path, GENERIC_READ, anyShare);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    ASSERT_TRUE(file.WriteLine(line.data(), line.size()));
    ASSERT_TRUE(file.Close());

    other = Open(path, GENERIC_READ, anyShare);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    CloseHandle(other);
    EXPECT_EQ(TempDir::Read(path), line + "\r\n");
  }
}

TEST(FilesOnWindows, CreateFailsOnAFileInUseAndLeavesItAlone) {
  TempDir dir;
  const std::string path = dir.File("busy.txt");
  TempDir::Write(path, "keep");
  HANDLE holder = Open(path, GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  CPasswordListFile file;
  EXPECT_FALSE(file.Create(path));
  CloseHandle(holder);
  EXPECT_EQ(TempDir::Read(path), "keep");
}

TEST(FilesOnWindows, ACharsetFileIsSharedForReadingOnly) {
  TempDir dir;
  const std::string path = dir.File("set.chr");
  TempDir::Write(path, "abc");
  COsFile reading;
  ASSERT_TRUE(reading.OpenForRead(path));
  HANDLE reader = Open(path, GENERIC_READ, FILE_SHARE_READ);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
  HANDLE writer = Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  reading.Close();

  // Sharing cuts both ways: a file that somebody holds open for writing cannot be read
  // (it is "locked"), even when they would share it for reading.
  HANDLE sharing = Open(path, GENERIC_WRITE, FILE_SHARE_READ);
  ASSERT_NE(sharing, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(ReadCharsetFile(path).has_value());
  CloseHandle(sharing);
  EXPECT_EQ(ReadCharsetFile(path), std::string("abc"));
}

// A pipe name or a device opens like a file, and a read from it could wait forever: it
// is refused by its type, without reading, like a missing file.
TEST(FilesOnWindows, APipeOrDeviceIsNoCharsetFile) {
  const std::string name = "\\\\.\\pipe\\keymoor-charset-" + std::to_string(GetCurrentProcessId());
  HANDLE pipe =
      CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(ReadCharsetFile(name).has_value());
  CloseHandle(pipe);
  EXPECT_FALSE(ReadCharsetFile("NUL").has_value());
}
