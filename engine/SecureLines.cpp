// Secure lines and the secure run. Characters are made ahead in bulk and assembled into
// lines by the same layouts as a normal run; only where they come from differs.
#include "engine/SecureLines.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <system_error>

#include "engine/BlockPipeline.h"
#include "engine/CharacterPool.h"
#include "engine/PasswordFiles.h"
#include "engine/PasswordGenerator.h"
#include "engine/Wipe.h"

namespace {

constexpr std::size_t kStaged = 16384;
// Random lines up to this length are assembled from staged characters; longer ones are
// filled in place.
constexpr std::size_t kLongLine = 256;
// Variable lengths up to this are staged as bytes.
constexpr std::size_t kStagedLengths = 255;

std::int64_t LinesThatFit(std::int64_t left, std::size_t room, std::size_t width, std::size_t ready) {
  return std::min<std::int64_t>({left, static_cast<std::int64_t>(room / width), static_cast<std::int64_t>(ready)});
}

}  // namespace

CSecureStage::CSecureStage(CSecureRandom& random, const CSecureTable& table, std::size_t capacity)
    : random_(random), table_(table), chars_(capacity + 32), capacity_(capacity) {}

CSecureStage::~CSecureStage() { SecureWipe(chars_.data(), chars_.size()); }

void CSecureStage::Ensure(std::size_t need) {
  if (Available() >= need) return;
  const std::size_t keep = Available();
  std::memmove(chars_.data(), Chars(), keep);
  random_.Fill(table_, chars_.data() + keep, capacity_ - keep);
  cursor_ = 0;
  filled_ = capacity_;
}

CSecureLines::CSecureLines(const CGenerationSettings& s, const CCharacterPool& pool, CSecureRandom& random)
    : random_(random) {
  const bool masked = s.mode == GenerationMode::Masked;
  nominal_ = masked ? s.mask.size() : static_cast<std::size_t>(std::max(s.length, 0));
  variable_ = !masked && s.variableLength && nominal_ >= 6;
  if (pool.Length() > 0) table_.emplace(pool.View());
  if (variable_) {
    if (nominal_ <= kStagedLengths) {
      std::string lengths;
      for (std::size_t k = 5; k <= nominal_; ++k) lengths += static_cast<char>(k);
      lengthTable_.emplace(lengths);
    }
  } else if (masked || nominal_ <= kLongLine) {
    const std::string line = (masked ? s.mask : std::string(nominal_, ' ')) + "\r\n";
    std::vector<bool> isDraw(line.size(), false);
    for (std::size_t p = 0; p < nominal_; ++p)
      isDraw[p] = !masked || (!s.symbolMask.empty() && line[p] == s.symbolMask[0]);
    layout_.emplace(line, isDraw);
  }
  if (!NeedsDraws() || !table_) return;
  if (lengthTable_) lengths_ = std::make_unique<CSecureStage>(random_, *lengthTable_, kStaged);
  if (lengths_ || layout_) chars_ = std::make_unique<CSecureStage>(random_, *table_, std::max(kStaged, 2 * MaxLine()));
}

CSecureLines::~CSecureLines() = default;

bool CSecureLines::NeedsDraws() const { return layout_ ? layout_->Draws() > 0 : nominal_ > 0; }

std::size_t CSecureLines::Make(char* out, std::size_t size, std::int64_t& left) {
  return variable_ ? MakeVariable(out, size, left) : MakeFixed(out, size, left);
}

std::size_t CSecureLines::MakeFixed(char* out, std::size_t size, std::int64_t& left) {
  const std::size_t width = MaxLine();
  std::size_t used = 0;
  if (!layout_) {  // long Random lines, filled in place
    for (; left > 0 && size - used >= width; --left, used += width) {
      random_.Fill(*table_, out + used, nominal_);
      EndLine(out + used + nominal_);
    }
    return used;
  }
  return AssembleLines(*layout_, chars_.get(), out, size, left);
}

std::size_t CSecureLines::MakeVariable(char* out, std::size_t size, std::int64_t& left) {
  const std::size_t width = MaxLine();
  const auto lengths = static_cast<std::uint32_t>(nominal_ - 4);
  char* at = out;
  char* const end = out + size;
  if (!lengths_) {  // long lines: one length draw each, the characters in place
    for (; left > 0 && static_cast<std::size_t>(end - at) >= width; --left) {
      const std::size_t length = 5 + random_.Below(lengths);
      random_.Fill(*table_, at, length);
      EndLine(at + length);
      at += length + 2;
    }
    return static_cast<std::size_t>(at - out);
  }
  while (left > 0 && static_cast<std::size_t>(end - at) >= width) {
    lengths_->Ensure(1);
    chars_->Ensure(nominal_);
    // Lines that surely fit, with their lengths and characters ready.
    auto lines = LinesThatFit(left, static_cast<std::size_t>(end - at), width,
                              std::min(lengths_->Available(), chars_->Available() / nominal_));
    const auto* length = reinterpret_cast<const unsigned char*>(lengths_->Chars());
    const char* chars = chars_->Chars();
    lengths_->Take(static_cast<std::size_t>(lines));
    left -= lines;
    for (; lines > 0; --lines) {
      const std::size_t n = *length++;
      // Up to 15 bytes past the line, which the next line overwrites.
      CopyShort(at, chars, n);
      EndLine(at + n);
      at += n + 2;
      chars += n;
    }
    chars_->Take(static_cast<std::size_t>(chars - chars_->Chars()));
  }
  return static_cast<std::size_t>(at - out);
}

namespace {

// The secure run itself; `created` tells the caller whether the file was touched yet.
GenerateResult SecureRun(const CGenerationSettings& settings, const PasswordSink& sink, std::int64_t count,
                         bool& created) {
  const CCharacterPool pool = CCharacterPool::Build(settings);
  count = std::max<std::int64_t>(count, 0);
  if (sink.kind == PasswordSink::Kind::List) count = std::min<std::int64_t>(count, PasswordSink::kMaxListRows);
  CSecureRandom random;
  CSecureLines lines(settings, pool, random);
  if (count > 0 && lines.NeedsDraws() && pool.Length() == 0) return GenerateResult::EmptyPool;
  // The key comes before the file: a failed source leaves any existing file untouched.
  if (!random.Start()) return GenerateResult::RandomFailed;

  const std::size_t width = lines.MaxLine();
  if (sink.kind == PasswordSink::Kind::List || width > CPasswordListFile::kBlockSize) {
    // One line at a time: the list's rows, or lines too long for a block of the file.
    CWipedBuffer line(width + 32);
    CPasswordListFile file;
    if (sink.kind == PasswordSink::Kind::File) {
      created = true;
      if (!file.Create(sink.path)) return GenerateResult::CannotCreate;
    }
    bool written = true;
    for (std::int64_t i = 0; i < count && written; ++i) {
      std::int64_t one = 1;
      const std::size_t length = lines.Make(line.Data(), width, one) - 2;
      if (sink.kind == PasswordSink::Kind::List) {
        sink.rows->AddRow(static_cast<int>(i), std::to_string(i), std::string_view(line.Data(), length));
      } else {
        written = file.WriteLine(line.Data(), length);
      }
    }
    if (sink.kind == PasswordSink::Kind::List) return GenerateResult::Completed;
    return file.Close() && written ? GenerateResult::Completed : GenerateResult::WriteFailed;
  }

  // Lines are made into one block while the writer thread writes the ones before.
  CBlockPipeline pipeline;
  created = true;
  if (!pipeline.Create(sink.path)) return GenerateResult::CannotCreate;
  const auto outcome =
      pipeline.Run(count, [&](char* out, std::size_t size, std::int64_t& left) { return lines.Make(out, size, left); });
  return outcome.written ? GenerateResult::Completed : GenerateResult::WriteFailed;
}

}  // namespace

GenerateResult CPasswordGenerator::GenerateSecure(const CGenerationSettings& settings, const PasswordSink& sink) {
  return GenerateSecure(settings, sink, settings.count);
}

GenerateResult CPasswordGenerator::GenerateSecure(const CGenerationSettings& settings, const PasswordSink& sink,
                                                  std::int64_t count) {
  // A run that cannot get its memory or its writer thread fails before the file is
  // created, and the user's old file stays as it was.
  bool created = false;
  try {
    return SecureRun(settings, sink, count, created);
  } catch (const std::bad_alloc&) {
    if (created) throw;
  } catch (const std::system_error&) {
    if (created) throw;
  }
  return GenerateResult::CannotCreate;
}
