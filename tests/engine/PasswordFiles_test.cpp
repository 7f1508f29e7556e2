// The password list file and charset file formats, byte for byte.
#include "engine/PasswordFiles.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/engine/TempDir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

TEST(PasswordListFile, LinesAreBytesThenCrLfAndNothingElse) {
  TempDir dir;
  const std::string path = dir.File("list.txt");
  TempDir::Write(path, "previous contents that must go");
  CPasswordListFile file;
  ASSERT_TRUE(file.Create(path));
  EXPECT_TRUE(file.WriteLine("ab", 2));
  EXPECT_TRUE(file.WriteLine("cd", 2));
  EXPECT_TRUE(file.WriteLine("ef", 2));
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(TempDir::Read(path), "ab\r\ncd\r\nef\r\n");

  // Every non-zero byte passes unchanged, CR, LF and 128 to 255 included.
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  ASSERT_TRUE(file.Create(path));
  EXPECT_TRUE(file.WriteLine(all.data(), all.size()));
  EXPECT_TRUE(file.WriteLine("", 0));
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(TempDir::Read(path), all + "\r\n\r\n");

  // No lines: an existing file is left with 0 bytes.
  ASSERT_TRUE(file.Create(path));
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(TempDir::Read(path), "");
}

TEST(PasswordListFile, LinesAcrossAndBeyondABlockStayWhole) {
  TempDir dir;
  const std::string path = dir.File("big.txt");
  const std::string line(CPasswordListFile::kBlockSize / 3 + 7, 'x');
  const std::string huge(CPasswordListFile::kBlockSize + 5, 'y');  // bigger than a block
  {
    CPasswordListFile file;
    ASSERT_TRUE(file.Create(path));
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(file.WriteLine(line.data(), line.size()));
    ASSERT_TRUE(file.WriteLine(huge.data(), huge.size()));
    ASSERT_TRUE(file.WriteLine("z", 1));
    // Destruction closes the file and keeps what was gathered.
  }
  std::string expected;
  for (int i = 0; i < 4; ++i) expected += line + "\r\n";
  expected += huge + "\r\nz\r\n";
  EXPECT_EQ(TempDir::Read(path), expected);
}

TEST(PasswordListFile, CreateFailsCleanly) {
  TempDir dir;
  CPasswordListFile file;
  EXPECT_FALSE(file.Create(dir.File("missing/list.txt")));
  EXPECT_FALSE(file.WriteLine("a", 1));
  EXPECT_FALSE(file.Create(dir.File("")));  // a folder is not a file
}

TEST(PasswordListFile, WriteFailureIsReported) {
  CPasswordListFile file;
  ASSERT_TRUE(file.Create(kFullDevice));
  bool failed = false;
  const std::string line(1000, 'x');
  // The first lines are gathered; the failure shows when a block goes out.
  for (int i = 0; i < 2000 && !failed; ++i) failed = !file.WriteLine(line.data(), line.size());
  EXPECT_TRUE(failed);
  EXPECT_FALSE(file.WriteLine("a", 1));  // stays failed
  EXPECT_FALSE(file.Close());

  ASSERT_TRUE(file.Create(kFullDevice));
  EXPECT_TRUE(file.WriteLine("a", 1));
  EXPECT_FALSE(file.Close());  // the last block's failure is reported by Close
}

TEST(CharsetFile, SymbolsAreTheBytesBeforeTheFirstZeroOfTheFirst1000) {
  TempDir dir;
  const std::string path = dir.File("set.chr");
  const auto read = [&](const std::string& bytes) {
    TempDir::Write(path, bytes);
    return ReadCharsetFile(path);
  };
  EXPECT_EQ(read("xyz\r\n"), std::string("xyz\r\n"));
  EXPECT_EQ(read("aab"), std::string("aab"));
  EXPECT_EQ(read(""), std::string());
  EXPECT_EQ(read(std::string("\0abc", 4)), std::string());
  EXPECT_EQ(read(std::string("0123456789a\0bc", 14)), std::string("0123456789a"));

  std::string bytes;
  for (int i = 0; i < 2500; ++i) bytes.push_back(static_cast<char>(1 + i % 255));
  EXPECT_EQ(read(bytes), bytes.substr(0, 1000));
  EXPECT_EQ(read(std::string(3000, '\xE9')), std::string(1000, '\xE9'));
}

TEST(CharsetFile, MissingFileOrFolderIsAFailure) {
  TempDir dir;
  EXPECT_FALSE(ReadCharsetFile(dir.File("absent.chr")).has_value());
  EXPECT_FALSE(ReadCharsetFile(dir.File("")).has_value());
}

#ifndef _WIN32
// Opening a FIFO for reading would wait for a writer; it is refused at once instead, as
// is a device.
TEST(CharsetFile, FifoOrDeviceIsRefusedWithoutWaiting) {
  TempDir dir;
  const std::string fifo = dir.File("set.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadCharsetFile(fifo).has_value());
  EXPECT_FALSE(ReadCharsetFile("/dev/zero").has_value());
}
#endif
