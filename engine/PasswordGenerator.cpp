// Random and Masked passwords, drawn in the fixed order that makes a seed reproducible:
// password after password; within one, the length draw first, then each marker or
// position from first to last.
#include "engine/PasswordGenerator.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "engine/BlockPipeline.h"
#include "engine/CharacterPool.h"
#include "engine/FastFill.h"
#include "engine/PasswordFiles.h"
#include "engine/Wipe.h"

namespace {

// Draws made ahead for short lines in one vector fill; longer Random passwords are
// filled in place, one fill each.
constexpr std::size_t kStaged = 4096;
constexpr std::size_t kLongLine = 256;
// Variable-length lines up to this length are made from staged draws: the distance from
// one line's length draw to the next one's, N + 1 at most, then fits a byte.
constexpr std::size_t kStagedVariable = 249;

// Draws made ahead and taken line by line. Only what is taken counts: State() is where
// the random source stands after the taken draws, whatever was made ahead. A second
// table, if given, also maps each draw to a byte of its own (for variable-length lines,
// whose first draw is their length).
class CDrawStage {
 public:
  CDrawStage(const CFillTable& table, std::uint32_t state, const CFillTable* second = nullptr)
      : table_(table), secondTable_(second), base_(state), next_(state) {
    for (std::size_t k = 1; k < jumps_.size(); ++k) jumps_[k] = jumps_[k - 1].Then(CJump::Of(1));
    if (second) seconds_ = CWipedBuffer(kStaged);
  }

  // Makes sure that at least `need` draws are ready. REQUIRES: need <= kStaged.
  void Ensure(std::size_t need) {
    if (Available() >= need) return;
    const std::size_t keep = Available();
    base_ = State();
    std::memmove(chars_.Data(), Chars(), keep);
    if (secondTable_) {
      std::memmove(seconds_.Data(), seconds_.Data() + cursor_, keep);
      FillChars(table_, *secondTable_, next_, chars_.Data() + keep, seconds_.Data() + keep, kStaged - keep);
    } else {
      FillChars(table_, next_, chars_.Data() + keep, kStaged - keep);
    }
    cursor_ = 0;
    filled_ = kStaged;
  }
  std::size_t Available() const { return filled_ - cursor_; }
  // The ready draws' characters, followed by 32 readable bytes.
  const char* Chars() const { return chars_.Data() + cursor_; }
  // The ready draws mapped by the second table.
  const unsigned char* Seconds() const { return reinterpret_cast<const unsigned char*>(seconds_.Data()) + cursor_; }
  void Take(std::size_t n) { cursor_ += n; }
  std::uint32_t State() const { return jumps_[cursor_].Apply(base_); }

 private:
  const CFillTable& table_;
  const CFillTable* secondTable_;
  std::uint32_t base_;  // the state before chars_[0]
  std::uint32_t next_;  // the state after the last draw made
  std::size_t filled_ = 0;
  std::size_t cursor_ = 0;
  std::vector<CJump> jumps_ = std::vector<CJump>(kStaged + 1);
  CWipedBuffer chars_ = CWipedBuffer(kStaged + 32);
  CWipedBuffer seconds_;
};

// Variable-length lines from staged draws: steps[p] is the distance from the length draw
// at p to the next one, and the line is the steps[p] - 1 characters chars[p + 1] on.
// Where each line starts depends on every line before it, so one walk from line to line
// is bound by reading one step after another. Two walks run at once where they can: one
// from the first line, one from a guess half-way into a side buffer; once the first
// lands on a line start the second found, the rest of the second's lines are right.
class CVariableLines {
 public:
  // Makes the lines whose length draws lie below `ready`, from draw 0, while `left` lasts
  // and each line starts at or before `last`. Returns the draws used.
  std::size_t Make(const unsigned char* steps, const char* chars, std::size_t ready, char*& at, const char* last,
                   std::int64_t& left) {
    std::size_t p = 0, guess = 0, guessed = 0;
    // Both walks only with room and count for every line below `ready`: a line takes at
    // least 6 draws and one byte more than its draws, and the last ends by ready + N.
    if (ready >= 64 && left > static_cast<std::int64_t>(ready) && last - at >= static_cast<std::ptrdiff_t>(2 * ready)) {
      const std::size_t half = ready / 2;
      char* side = side_.Data();
      for (guess = half; p < half && guess < ready; --left) {
        const std::size_t n = steps[p], m = steps[guess];
        at += Line(chars + p, n, at);
        p += n;
        starts_[guessed] = guess;
        offsets_[guessed++] = static_cast<std::size_t>(side - side_.Data());
        side += Line(chars + guess, m, side);
        guess += m;
      }
      offsets_[guessed] = static_cast<std::size_t>(side - side_.Data());
    }
    for (std::size_t j = 0; p < ready && left > 0 && at <= last;) {
      while (j < guessed && starts_[j] < p) ++j;
      if (j < guessed && starts_[j] == p) {  // on the guessed track: the rest of its lines are right
        std::memcpy(at, side_.Data() + offsets_[j], offsets_[guessed] - offsets_[j]);
        at += offsets_[guessed] - offsets_[j];
        left -= static_cast<std::int64_t>(guessed - j);
        p = guess;
        guessed = 0;
        continue;
      }
      const std::size_t n = steps[p];
      at += Line(chars + p, n, at);
      p += n;
      --left;
    }
    return p;
  }

 private:
  // The line whose length draw is at `draw`, n draws before the next: its bytes.
  static std::size_t Line(const char* draw, std::size_t n, char* out) {
    CopyShort(out, draw + 1, n - 1);
    EndLine(out + n - 1);
    return n + 1;
  }

  CWipedBuffer side_ = CWipedBuffer(2 * kStaged + 64);
  std::vector<std::size_t> starts_ = std::vector<std::size_t>(kStaged / 6 + 2);
  std::vector<std::size_t> offsets_ = std::vector<std::size_t>(kStaged / 6 + 3);  // and the end
};

// Where a file run goes, and whether the file was created: from then on, a failure is
// no longer one of not being able to start.
struct FileTarget {
  const std::filesystem::path& path;
  bool created = false;
};

// Creates the file and fills it with `count` lines from `make` through the pipeline.
// `now` tells where the random source stands after the lines made so far; `state` ends
// where it stands after the blocks that count (every block, or up to the one whose write
// failed), just as when each block was made only after the one before had been written.
GenerateResult MakeToFile(FileTarget& target, std::int64_t count, std::uint32_t& state, const BlockMaker& make,
                          const std::function<std::uint32_t()>& now) {
  // The maker is never more than kBlocks blocks ahead of a failed write.
  std::array<std::uint32_t, CBlockPipeline::kBlocks> after{};
  std::uint64_t made = 0;
  const BlockMaker counted = [&](char* out, std::size_t size, std::int64_t& left) {
    const std::size_t bytes = make(out, size, left);
    after[made++ % after.size()] = now();
    return bytes;
  };
  CBlockPipeline pipeline;
  if (!pipeline.Create(target.path)) return GenerateResult::CannotCreate;
  target.created = true;
  const auto outcome = pipeline.Run(count, counted);
  if (outcome.blocks > 0) state = after[(outcome.blocks - 1) % after.size()];
  return outcome.written ? GenerateResult::Completed : GenerateResult::WriteFailed;
}

// The file run made in place and many draws at once, byte for byte the lines that the
// one-at-a-time loop makes, leaving `random` where that loop would. Empty when this run
// is not suited (the caller then uses that loop). Everything it needs is allocated before
// the file is created.
std::optional<GenerateResult> WriteLinesFast(const CGenerationSettings& s, const CCharacterPool& pool,
                                             std::size_t nominal, std::int64_t count, FileTarget& target,
                                             CRandomSource& random) {
  std::uint32_t state = random.State();
  if (count == 0) return MakeToFile(target, 0, state, nullptr, nullptr);
  if (nominal + 2 > CPasswordListFile::kBlockSize) return std::nullopt;
  const bool masked = s.mode == GenerationMode::Masked;
  const bool variable = !masked && s.variableLength && nominal >= 6;
  const std::size_t maxLine = nominal + 2;
  std::unique_ptr<CFillTable> table;
  if (pool.Length() > 0) {
    table = std::make_unique<CFillTable>(pool.View());
    if (!table->exact) return std::nullopt;
  }
  GenerateResult result;
  const auto stateNow = [&] { return state; };

  if (!variable && (masked || nominal <= kLongLine)) {
    // Every line alike: the mask (or N drawn places) and CR LF.
    std::string line = masked ? s.mask + "\r\n" : std::string(nominal, ' ') + "\r\n";
    std::vector<bool> isDraw(line.size(), !masked);
    isDraw[nominal] = isDraw[nominal + 1] = false;
    if (masked && !s.symbolMask.empty())
      for (std::size_t p = 0; p < nominal; ++p) isDraw[p] = line[p] == s.symbolMask[0];
    const CLineLayout layout(line, isDraw);
    const std::size_t draws = layout.Draws();
    if (draws > kStaged) return std::nullopt;  // a mask longer than the window allows
    std::optional<CDrawStage> stage;
    if (draws > 0) stage.emplace(*table, state);
    CDrawStage* drawn = stage ? &*stage : nullptr;
    const auto make = [&](char* out, std::size_t size, std::int64_t& left) {
      return AssembleLines(layout, drawn, out, size, left);
    };
    result = MakeToFile(target, count, state, make, [&] { return stage ? stage->State() : state; });
  } else if (!variable) {
    // Long passwords: filled in place.
    const auto make = [&](char* out, std::size_t size, std::int64_t& left) {
      std::size_t used = 0;
      for (; left > 0 && size - used >= maxLine; --left, used += maxLine) {
        FillChars(*table, state, out + used, nominal);
        EndLine(out + used + nominal);
      }
      return used;
    };
    result = MakeToFile(target, count, state, make, stateNow);
  } else {
    // Variable length: each line's first draw is its length, the next ones its characters.
    const auto lengths = static_cast<std::uint32_t>(nominal - 4);
    std::optional<CFillTable> stepTable;
    std::optional<CDrawStage> stage;
    if (nominal <= kStagedVariable) {
      // Pick(N - 4) = k gives a line of 5 + k characters: the next line's length draw
      // comes 6 + k draws after this one.
      std::string steps(lengths, '\0');
      for (std::uint32_t k = 0; k < lengths; ++k) steps[k] = static_cast<char>(6 + k);
      stepTable.emplace(steps);
      if (!stepTable->exact) return std::nullopt;
      stage.emplace(*table, state, &*stepTable);
    }
    CVariableLines lines;
    const auto make = [&](char* out, std::size_t size, std::int64_t& left) {
      char* at = out;
      char* const last = out + size - maxLine;  // the last place where any line fits
      if (stage) {
        while (left > 0 && at <= last) {
          stage->Ensure(nominal + 1);
          const std::size_t ready = stage->Available() - nominal;  // whole lines from below here
          const std::size_t p = lines.Make(stage->Seconds(), stage->Chars(), ready, at, last, left);
          stage->Take(p);
        }
      } else {
        for (; left > 0 && at <= last; --left) {
          CRandomSource one;
          one.Seed(state);
          const std::size_t length = 5 + one.Pick(lengths);
          state = one.State();
          FillChars(*table, state, at, length);
          EndLine(at + length);
          at += length + 2;
        }
      }
      return static_cast<std::size_t>(at - out);
    };
    result = MakeToFile(target, count, state, make, [&] { return stage ? stage->State() : state; });
  }
  random.Seed(state);
  return result;
}

bool NeedsRandomCharacter(const CGenerationSettings& s, std::int64_t count, std::size_t nominal) {
  if (count <= 0 || nominal == 0) return false;
  if (s.mode != GenerationMode::Masked) return true;
  return !s.symbolMask.empty() && s.mask.find(s.symbolMask[0]) != std::string::npos;
}

// The next password of a run, one draw after another, into out[0, nominal); returns its
// length.
std::size_t NextPassword(const CGenerationSettings& s, const CCharacterPool& pool, std::size_t nominal,
                         CRandomSource& random, char* out) {
  const auto poolLength = static_cast<std::uint32_t>(pool.Length());
  if (s.mode == GenerationMode::Masked) {
    const bool hasMarker = !s.symbolMask.empty();
    for (std::size_t p = 0; p < nominal; ++p) {
      const char c = s.mask[p];
      out[p] = hasMarker && c == s.symbolMask[0] ? static_cast<char>(pool.At(random.Pick(poolLength))) : c;
    }
    return nominal;
  }
  std::size_t length = nominal;
  if (s.variableLength && nominal >= 6) length = 5 + random.Pick(static_cast<std::uint32_t>(nominal - 4));
  for (std::size_t p = 0; p < length; ++p) out[p] = static_cast<char>(pool.At(random.Pick(poolLength)));
  return length;
}

std::size_t NominalLength(const CGenerationSettings& s) {
  return s.mode == GenerationMode::Masked ? s.mask.size() : static_cast<std::size_t>(std::max(s.length, 0));
}

GenerateResult GenerateList(const CGenerationSettings& settings, PasswordRows& rows, std::int64_t count,
                            CRandomSource& random) {
  const CCharacterPool pool = CCharacterPool::Build(settings);
  const std::size_t nominal = NominalLength(settings);
  count = std::min<std::int64_t>(count, PasswordSink::kMaxListRows);
  if (pool.Length() == 0 && NeedsRandomCharacter(settings, count, nominal)) return GenerateResult::EmptyPool;
  CWipedBuffer password(nominal + 1);
  for (std::int64_t i = 0; i < count; ++i) {
    const std::size_t length = NextPassword(settings, pool, nominal, random, password.Data());
    rows.AddRow(static_cast<int>(i), std::to_string(i), std::string_view(password.Data(), length));
  }
  return GenerateResult::Completed;
}

GenerateResult GenerateFile(const CGenerationSettings& settings, FileTarget& target, std::int64_t count,
                            CRandomSource& random) {
  const CCharacterPool pool = CCharacterPool::Build(settings);
  const std::size_t nominal = NominalLength(settings);
  if (pool.Length() == 0 && NeedsRandomCharacter(settings, count, nominal)) return GenerateResult::EmptyPool;
  if (const auto result = WriteLinesFast(settings, pool, nominal, count, target, random)) return *result;

  CWipedBuffer password(nominal + 1);
  CPasswordListFile file;
  if (!file.Create(target.path)) return GenerateResult::CannotCreate;
  target.created = true;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::size_t length = NextPassword(settings, pool, nominal, random, password.Data());
    if (!file.WriteLine(password.Data(), length)) {
      file.Close();
      return GenerateResult::WriteFailed;
    }
  }
  return file.Close() ? GenerateResult::Completed : GenerateResult::WriteFailed;
}

}  // namespace

GenerateResult CPasswordGenerator::Generate(const CGenerationSettings& settings, const PasswordSink& sink,
                                            CRandomSource& random) {
  return Generate(settings, sink, random, std::max(settings.count, 0));
}

GenerateResult CPasswordGenerator::Generate(const CGenerationSettings& settings, const PasswordSink& sink,
                                            CRandomSource& random, std::int64_t count) {
  count = std::max<std::int64_t>(count, 0);
  if (sink.kind == PasswordSink::Kind::List) return GenerateList(settings, *sink.rows, count, random);
  // A run that cannot get its memory or its writer thread fails before the file is
  // created, and the user's old file stays as it was.
  FileTarget target{sink.path};
  try {
    return GenerateFile(settings, target, count, random);
  } catch (const std::bad_alloc&) {
    if (target.created) throw;
  } catch (const std::system_error&) {
    if (target.created) throw;
  }
  return GenerateResult::CannotCreate;
}

GenerateResult CPasswordGenerator::Run(const CGenerationSettings& settings, const PasswordSink& sink,
                                       const RunOptions& options) {
  const std::int64_t count = options.count >= 0 ? options.count : std::max(settings.count, 0);
  if (options.secure) return GenerateSecure(settings, sink, count);
  return Generate(settings, sink, options.random ? *options.random : theRandom, count);
}
