// The password list file and charset file formats, byte for byte.
#include "engine/PasswordFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/FileChecks.h"
#include "tests/engine/TempDir.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
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
    ASSERT_TRUE(file.Close());
  }
  std::string expected;
  for (int i = 0; i < 4; ++i) expected += line + "\r\n";
  expected += huge + "\r\nz\r\n";
  EXPECT_EQ(TempDir::Read(path), expected);
}

// Refused by Create, before any line, leaving nothing behind: a missing folder, a folder, no
// name, a read-only file, and natively a FIFO that nobody reads (a write would wait for one).
TEST(PasswordListFile, TargetsThatCannotBeWrittenAreRefusedUpFront) {
  TempDir dir;
  const std::string readOnly = dir.File("read-only.txt");
  TempDir::Write(readOnly, "keep\r\n");
  std::filesystem::permissions(readOnly, std::filesystem::perms::all, std::filesystem::perm_options::remove);
  std::filesystem::create_directory(dir.File("folder"));
  std::vector<std::string> refused = {dir.File("missing/list.txt"), dir.File("folder"), dir.File(""), "", readOnly};
#ifndef _WIN32
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  refused.push_back(dir.File("fifo"));
#endif
  const std::vector<std::string> before = NamesIn(dir.File(""));
  for (const std::string& path : refused) {
    CPasswordListFile file;
    EXPECT_FALSE(file.Create(path)) << path;
    EXPECT_FALSE(file.WriteLine("a", 1));
  }
  EXPECT_EQ(NamesIn(dir.File("")), before);
  std::filesystem::permissions(readOnly, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
  EXPECT_EQ(TempDir::Read(readOnly), "keep\r\n");
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

#ifndef _WIN32
namespace {

constexpr std::size_t kLineBytes = 1000;
const std::string kOld = "old passwords\r\n";

// Writes 3,000 lines of 1,000 bytes (three blocks).
bool WriteManyLines(CPasswordListFile& file) {
  const std::string line(kLineBytes - 2, 'x');
  bool ok = true;
  for (int i = 0; i < 3000 && ok; ++i) ok = file.WriteLine(line.data(), line.size());
  return ok;
}

}  // namespace

// A list file that does not end with a successful Close (a write fails part-way, or it is
// destroyed first, the way a cancelled save ends) leaves an existing target byte for byte
// as it was and a new name absent, with no temporary file behind.
TEST(PasswordListFile, AnUnfinishedFileLeavesTheTargetAsItWas) {
  for (const bool failedWrite : {true, false}) {
    for (const bool exists : {true, false}) {
      SCOPED_TRACE(std::string(failedWrite ? "failed write" : "destroyed") + (exists ? ", replacing" : ", new"));
      TempDir dir;
      const std::string path = dir.File("list.txt");
      if (exists) TempDir::Write(path, kOld);
      {
        CPasswordListFile file;
        ASSERT_TRUE(file.Create(path));
        if (failedWrite) {
          // The second block is cut at 1.5 blocks.
          ScopedFileSizeLimit limit(CPasswordListFile::kBlockSize * 3 / 2);
          ASSERT_TRUE(limit.ok());
          EXPECT_FALSE(WriteManyLines(file));
          EXPECT_FALSE(file.Close());
        } else {
          EXPECT_TRUE(WriteManyLines(file));
        }
      }
      EXPECT_EQ(NamesIn(dir.File("")), exists ? std::vector<std::string>{"list.txt"} : std::vector<std::string>{});
      if (exists) {
        EXPECT_EQ(TempDir::Read(path), kOld);
      }
    }
  }
}

// A replaced file keeps its permission bits, and through a symbolic link the file it
// leads to is replaced, not the link. Until Close, the old bytes stay readable.
TEST(PasswordListFile, AReplacedFileKeepsItsPermissionsAndLinks) {
  TempDir dir;
  const std::string path = dir.File("list.txt"), link = dir.File("link.txt");
  TempDir::Write(path, kOld);
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(symlink("list.txt", link.c_str()), 0);
  for (const std::string& target : {path, link}) {
    CPasswordListFile file;
    ASSERT_TRUE(file.Create(target));
    ASSERT_TRUE(WriteManyLines(file));
    EXPECT_EQ(TempDir::Read(path).size(), target == path ? kOld.size() : 3000 * kLineBytes);
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(TempDir::Read(path).size(), 3000 * kLineBytes);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(NamesIn(dir.File("")), (std::vector<std::string>{"link.txt", "list.txt"}));
  }
}

// A target that exists and is not a regular file is written directly: a FIFO gets the
// lines, and a device stays a device (as root, a copy of the null device in the scratch
// folder stands in for /dev/null).
TEST(PasswordListFile, DevicesAndFifosAreWrittenDirectly) {
  TempDir dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  std::string null = dir.File("null");
  if (mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) null = "/dev/null";
  for (const std::string& path : {fifo, null}) {
    CPasswordListFile file;
    ASSERT_TRUE(file.Create(path)) << path;
    EXPECT_TRUE(file.WriteLine("pw", 2));
    EXPECT_TRUE(file.Close());
  }
  char got[16];
  const ssize_t n = read(reader, got, sizeof got);
  EXPECT_EQ(std::string(got, n > 0 ? n : 0), "pw\r\n");
  close(reader);
  struct stat st;
  ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  ASSERT_EQ(lstat(null.c_str(), &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(NamesIn(dir.File("")).size(), null == "/dev/null" ? 1u : 2u);
}
#endif

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
