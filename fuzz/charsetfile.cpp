// Charset files of arbitrary bytes and sizes, read back and held against the plain
// model: the bytes before the first zero among the first 1,000.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/PasswordFiles.h"
#include "fuzz/Model.h"

// Input: a mode byte, a size word, then the file's bytes.
//   mode: bits 0-3 how often the bytes repeat (0 counts as once); bit 4 the file is then
//         cut or extended with zeros (sparse, up to 32 GiB) to the size word times
//         `mode >> 5` + 1; 0xFF no file at all, 0xFE a folder.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const std::uint8_t mode = in.Byte();
  const std::uint32_t sizeWord = in.Word();
  const std::string bytes = in.Text(65535);
  const std::string path = Scratch::Get().File("symbols.chr");
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);

  if (mode == 0xFF || mode == 0xFE) {
    if (mode == 0xFE) std::filesystem::create_directory(path);
    Expect(!ReadCharsetFile(path), "a missing file or a folder was read");
    return 0;
  }
  std::string content;
  for (int k = 0; k < std::max(mode & 15, 1); ++k) content += bytes;
  Scratch::Write(path, content);
  if (mode & 16) {
    const std::uint64_t length = std::uint64_t{sizeWord} * ((mode >> 5) + 1);
    if (::truncate(path.c_str(), static_cast<off_t>(length)) != 0) return 0;  // the file system cannot hold it
    content.resize(static_cast<std::size_t>(std::min<std::uint64_t>(length, 1001)), '\0');
  }
  const auto symbols = ReadCharsetFile(path);
  Expect(symbols.has_value(), "a plain file could not be read");
  Expect(*symbols == ModelCharset(content), "the symbols differ from the model");
  return 0;
}
