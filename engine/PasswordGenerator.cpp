// The one run of the engine: pool, line layouts, draws made ahead, the list, the file
// through the writer thread, progress and cancel. Its random draws come from one of two
// sources: the 15-bit generator, in the fixed order that makes a seed reproducible
// (password after password; within one, the length draw first, then each marker or
// position from first to last), or the secure stream. What differs between the two stays
// inside the source classes below.
#include "engine/PasswordGenerator.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "engine/BlockPipeline.h"
#include "engine/CharacterPool.h"
#include "engine/EverySet.h"
#include "engine/FastFill.h"
#include "engine/PasswordFiles.h"
#include "engine/SecureRandom.h"
#include "engine/SegmentRing.h"
#include "engine/ShuffleLookup.h"
#include "engine/Wipe.h"

namespace {

// Draws made ahead for short lines in one fill; longer Random passwords are filled in
// place, one fill each.
constexpr std::size_t kStaged = 4096;
constexpr std::size_t kLongLine = 256;
// Variable-length lines up to this length are made from staged draws: a length, or the
// distance from one line's length draw to the next one's (N + 1 at most), fits a byte.
constexpr std::size_t kStagedVariable = 249;

// --- The sources. Each gives: Table (a pool prepared for it), Fill (n characters of a
// table), Below (one draw of 0 to n - 1), Mark/Now/After (where it stands, for the 15-bit
// generator), Start and Settle (the run's beginning and end).

// The 15-bit generator: every draw advances its state, and a run leaves `random` exactly
// where drawing one by one would. A variable-length line's length draw is one draw of the
// same stream as its characters, so lengths and characters are made side by side by two
// tables over the same draws.
class CExactSource {
 public:
  using Table = CFillTable;
  using Mark = std::uint32_t;  // the generator's state
  static constexpr bool kLengthsInStream = true;
  // Any stretch of the stream can be made on its own from a jump: staged draws are made
  // ahead on a second thread.
  static constexpr bool kJumps = true;

  explicit CExactSource(CRandomSource& random) : random_(random), state_(random.State()) {}

  // Whether making lines is what the run waits for (the writer says), so that draws are
  // made ahead on a second thread; until it says, they are.
  std::atomic<bool>& MakingBehind() { return behind_; }

  bool Start() { return true; }
  // The state after every draw made so far, and `draws` draws after `from`.
  Mark Now() const { return state_; }
  static Mark After(Mark from, std::size_t draws) { return CJump::Of(draws).Apply(from); }
  void Fill(const Table& table, char* out, std::size_t n) { FillChars(table, state_, out, n); }
  std::uint32_t Below(std::uint32_t n) {
    CRandomSource one;
    one.Seed(state_);
    const std::uint32_t value = one.Pick(n);
    state_ = one.State();
    return value;
  }
  // Leaves the caller's generator at `mark`: after the passwords that count.
  void Settle(Mark mark) { random_.Seed(mark); }

 private:
  CRandomSource& random_;
  std::uint32_t state_;
  std::atomic<bool> behind_{true};
};

// The secure stream: nothing to keep track of, and lengths may come from draws of their
// own.
class CSecureSource {
 public:
  using Table = CSecureTable;
  struct Mark {};
  static constexpr bool kLengthsInStream = false;
  static constexpr bool kJumps = false;

  // Draws the key. False when the system's source failed.
  bool Start() {
    random_.FollowDemand(&behind_);
    return random_.Start();
  }
  std::atomic<bool>& MakingBehind() { return behind_; }
  Mark Now() const { return {}; }
  static Mark After(Mark, std::size_t) { return {}; }
  void Fill(const Table& table, char* out, std::size_t n) { random_.Fill(table, out, n); }
  std::uint32_t Below(std::uint32_t n) { return random_.Below(n); }
  void Settle(Mark) {}

 private:
  std::atomic<bool> behind_{true};  // see CExactSource
  CSecureRandom random_;
};

// Draws made ahead and taken as lines need them; only what is taken counts: Now() is where
// the source stands after the taken draws. A second table, if given, also maps each draw
// to a byte of its own (the 15-bit source's variable lengths). From a source that jumps,
// the draws come in segments made by a segment ring (ahead on its helper thread, where
// that pays); from the others, `capacity` at a time as they are needed.
template <class Source>
class CStage {
 public:
  using Table = typename Source::Table;
  static constexpr std::size_t kSegment = 32768;

  // `capacity` is the most that Ensure may ask for, and the most that Available() shows.
  CStage(Source& source, const Table& table, std::size_t capacity, const Table* second = nullptr)
      : source_(source), table_(table), second_(second), capacity_(capacity), base_(source.Now()) {
    if constexpr (Source::kJumps) {
      // A slot: room for the draws kept from the segment before (fewer than `capacity`),
      // the segment's characters and 32 readable bytes; the same again for the second
      // table's bytes.
      const std::size_t prefix = capacity, segment = std::max(kSegment, capacity);
      const std::size_t half = prefix + segment + 32;
      std::optional<CFillPair> pair;
      if (second) pair.emplace(table, *second);
      ring_.emplace(
          second ? 2 * half : half,
          [base = base_, &table, pair, half, prefix, segment](std::uint64_t k, char* slot, bool) {
            std::uint32_t state = Source::After(base, k * segment);
            if (pair) {
              FillChars(*pair, state, slot + prefix, slot + half + prefix, segment);
            } else {
              FillChars(table, state, slot + prefix, segment);
            }
          },
          &source.MakingBehind());
      segment_ = segment;
      secondsAt_ = half;
      buffer_ = CWipedBuffer(2 * capacity);  // the kept draws while the next segment is taken
    } else {
      buffer_ = CWipedBuffer(capacity + 32);
      data_ = buffer_.Data();
    }
  }

  // Makes sure that at least `need` draws are ready. REQUIRES: need <= capacity.
  void Ensure(std::size_t need) {
    if (filled_ - cursor_ >= need) return;
    const std::size_t keep = filled_ - cursor_;
    if constexpr (Source::kJumps) {
      // The kept draws go just before the next segment, through a copy: the helper may
      // reuse the slot they are in as soon as the next one is taken.
      char* const saved = buffer_.Data();
      if (keep > 0) {  // none before the first segment, when there is no data yet
        std::memcpy(saved, Chars(), keep);
        if (second_) std::memcpy(saved + capacity_, Seconds(), keep);
      }
      passed_ += filled_ - keep;
      data_ = ring_->Next() + capacity_ - keep;
      if (keep > 0) {
        std::memcpy(data_, saved, keep);
        if (second_) std::memcpy(data_ + secondsAt_, saved + capacity_, keep);
      }
      filled_ = keep + segment_;
    } else {
      passed_ += cursor_;
      std::memmove(data_, Chars(), keep);
      source_.Fill(table_, data_ + keep, capacity_ - keep);
      filled_ = capacity_;
    }
    cursor_ = 0;
  }
  std::size_t Available() const { return std::min(filled_ - cursor_, capacity_); }
  // The ready draws' characters, followed by 32 readable bytes.
  const char* Chars() const { return data_ + cursor_; }
  // The ready draws mapped by the second table.
  const unsigned char* Seconds() const { return reinterpret_cast<const unsigned char*>(data_ + secondsAt_) + cursor_; }
  void Take(std::size_t n) { cursor_ += n; }
  typename Source::Mark Now() const { return Source::After(base_, passed_ + cursor_); }

 private:
  Source& source_;
  const Table& table_;
  const Table* second_;
  std::size_t capacity_;
  typename Source::Mark base_;  // where the source stood when the stage began
  std::uint64_t passed_ = 0;    // draws from there to data_[0]: the jump is made only when asked
  std::size_t filled_ = 0;
  std::size_t cursor_ = 0;
  char* data_ = nullptr;       // the draws' characters
  std::size_t secondsAt_ = 0;  // the second table's bytes are this far after the characters
  std::size_t segment_ = 0;    // draws in a segment of the ring
  // A source that does not jump: the draws made so far; one that does: the kept draws.
  CWipedBuffer buffer_;
  std::optional<CSegmentRing> ring_;
};

// Variable-length lines from staged draws of one stream: steps[p] is the distance from the
// length draw at p to the next one, and the line is the steps[p] - 1 characters chars[p +
// 1] on. Where each line starts depends on every line before it, so one walk from line to
// line is bound by reading one step after another. Two walks run at once where they can:
// one from the first line, one from a guess half-way into a side buffer; once the first
// lands on a line start the second found, the rest of the second's lines are right.
class CVariableLines {
 public:
  // `longest`: the most characters a line has.
  explicit CVariableLines(std::size_t longest) : short_(longest <= 16) {}

  // Makes the lines whose length draws lie below `ready`, from draw 0, while `left` lasts
  // and each line starts at or before `last`. Returns the draws used.
  std::size_t Make(const unsigned char* steps, const char* chars, std::size_t ready, char*& at, const char* last,
                   std::int64_t& left) {
    return short_ ? Walk<true>(steps, chars, ready, at, last, left) : Walk<false>(steps, chars, ready, at, last, left);
  }

 private:
  // kShort: no line has more than 16 characters, so one 16-byte copy moves any of them.
  template <bool kShort>
  std::size_t Walk(const unsigned char* steps, const char* chars, std::size_t ready, char*& at, const char* last,
                   std::int64_t& left) {
    std::size_t p = 0, half = 0, guess = 0, guessed = 0;
    char* const sideStart = side_.Data();  // a local copy: the byte stores below would reload it
    char* out = at;
    // Both walks only with room and count for every line below `ready`: a line takes at
    // least 6 draws and one byte more than its draws, and the last ends by ready + N.
    if (ready >= 64 && left > static_cast<std::int64_t>(ready) &&
        last - out >= static_cast<std::ptrdiff_t>(2 * ready)) {
      half = ready / 2;
      char* side = sideStart;
      // Each walk follows a pointer into the steps, so that the read each line waits for
      // has its address in a register (an indexed address takes a cycle more), and one into
      // the characters beside it.
      const unsigned char *a = steps, *g = steps + half;
      const unsigned char *const middle = g, *const end = steps + ready;
      const char *aChars = chars, *gChars = chars + half;
      for (; a < middle && g < end; ++guessed) {
        const std::size_t n = *a, m = *g;
        out += Line<kShort>(aChars, n, out);
        a += n;
        aChars += n;
        side += Line<kShort>(gChars, m, side);
        g += m;
        gChars += m;
      }
      p = static_cast<std::size_t>(a - steps);
      guess = static_cast<std::size_t>(g - steps);
      left -= static_cast<std::int64_t>(guessed);
    }
    // The guessed track's line j starts at draw `start`; the track is walked again (steps
    // only) beside the first, which usually lands on one of its line starts within a few
    // lines.
    for (std::size_t j = 0, start = half; p < ready && left > 0 && out <= last;) {
      for (; j < guessed && start < p; ++j) start += steps[start];
      if (j < guessed && start == p) {  // on the guessed track: the rest of its lines are right
        // A line of n draws is n + 1 bytes, so line j of the guessed track starts start -
        // half + j bytes into the side buffer, and the track ends at guess - half + guessed.
        const std::size_t from = start - half + j, to = guess - half + guessed;
        std::memcpy(out, sideStart + from, to - from);
        out += to - from;
        left -= static_cast<std::int64_t>(guessed - j);
        p = guess;
        guessed = 0;
        continue;
      }
      const std::size_t n = steps[p];
      out += Line<kShort>(chars + p, n, out);
      p += n;
      --left;
    }
    at = out;
    return p;
  }

  // The line whose length draw is at `draw`, n draws before the next: its bytes.
  template <bool kShort>
  static std::size_t Line(const char* draw, std::size_t n, char* out) {
    if constexpr (kShort) {
      std::memcpy(out, draw + 1, 16);
    } else {
      CopyShort(out, draw + 1, n - 1);
    }
    EndLine(out + n - 1);
    return n + 1;
  }

  bool short_;
  CWipedBuffer side_ = CWipedBuffer(2 * kStaged + 64);
};

std::size_t NominalLength(const CGenerationSettings& s) {
  return s.mode == GenerationMode::Masked ? s.mask.size() : static_cast<std::size_t>(std::max(s.length, 0));
}

// True when a password of these settings takes a character from the pool: a run of them
// with an empty pool is refused before anything is drawn or touched.
bool NeedsDraws(const CGenerationSettings& s) {
  if (NominalLength(s) == 0) return false;
  if (s.mode != GenerationMode::Masked) return true;
  return !s.symbolMask.empty() && s.mask.find(s.symbolMask[0]) != std::string::npos;
}

// The random characters of the shortest password of these settings.
std::size_t Places(const CGenerationSettings& s) {
  if (s.mode == GenerationMode::Masked)
    return s.symbolMask.empty() ? 0
                                : static_cast<std::size_t>(std::count(s.mask.begin(), s.mask.end(), s.symbolMask[0]));
  return s.variableLength && NominalLength(s) >= 6 ? 5 : NominalLength(s);
}

// Thrown out of the line maker of a cancelled run: a file run's pipeline then drops what
// is queued and the file layer leaves the target as it was.
struct RunCancelled {};

// The lines of a run from one source: every line alike (a layout), long Random lines
// filled in place, or variable lengths.
template <class Source>
class CLines {
 public:
  using Table = typename Source::Table;

  // `pool` may be empty only when no line draws (NeedsDraws). With a `rule`, every line
  // passes it, and the draws of one that does not are drawn again; a `control` is then
  // told of the lines made while a block is made, and a cancel ends it there
  // (RunCancelled). With `lf`, lines of a fixed width end in LF alone (see EndsInLf).
  // Everything a run needs is allocated here.
  CLines(const CGenerationSettings& s, const CCharacterPool& pool, Source& source, const CSetRule* rule,
         CRunControl* control, bool lf)
      : source_(source), nominal_(NominalLength(s)), rule_(rule), control_(control) {
    const bool masked = s.mode == GenerationMode::Masked;
    variable_ = !masked && s.variableLength && nominal_ >= 6;
    lf_ = lf && !variable_;
    crInPool_ = pool.View().find('\r') != std::string_view::npos;
    if (pool.Length() > 0) table_.emplace(pool.View());
    const std::size_t capacity = std::max(kStaged, 2 * MaxLine());
    if (variable_) {
      if (nominal_ > kStagedVariable || !table_) return;
      std::string lengths;
      if constexpr (Source::kLengthsInStream) {
        // Below(N - 4) = k gives a line of 5 + k characters: the next line's length draw
        // comes 6 + k draws after this one.
        for (std::size_t k = 0; k + 4 < nominal_; ++k) lengths += static_cast<char>(6 + k);
        lengthTable_.emplace(lengths);
        chars_.emplace(source_, *table_, kStaged, &*lengthTable_);
        walk_.emplace(nominal_);
      } else {
        for (std::size_t k = 5; k <= nominal_; ++k) lengths += static_cast<char>(k);
        lengthTable_.emplace(lengths);
        lengths_.emplace(source_, *lengthTable_, kStaged);
        chars_.emplace(source_, *table_, capacity);
      }
    } else if (masked || nominal_ <= kLongLine) {
      const std::string line = (masked ? s.mask : std::string(nominal_, ' ')) + (lf_ ? "\n" : "\r\n");
      std::vector<bool> isDraw(line.size(), false);
      for (std::size_t p = 0; p < nominal_; ++p)
        isDraw[p] = !masked || (!s.symbolMask.empty() && line[p] == s.symbolMask[0]);
      layout_.emplace(line, isDraw);
      if (layout_->Draws() > 0 && table_) chars_.emplace(source_, *table_, capacity);
      if (rule_ && chars_) kept_ = CWipedBuffer(capacity + 32);
    }
  }

  // The longest line, CR LF included.
  std::size_t MaxLine() const { return nominal_ + 2; }
  // True when Make ends each line in LF alone: asked for, and the lines are of a fixed
  // width. Variable lengths always end in CR LF.
  bool EndsInLf() const { return lf_; }
  // The bytes that end each line: LF alone, or CR LF.
  std::size_t EndWidth() const { return lf_ ? 1 : 2; }
  // True when a password may hold a CR: then a CR made is not always a line's end.
  bool CrInPool() const { return crInPool_; }

  // Makes whole lines (password and CR LF) into out while `left` lasts and the next line
  // surely fits in `size` bytes, counting `left` down; returns the bytes made. May write
  // up to CPasswordListFile::kRoomSlack bytes past them. REQUIRES: size >= MaxLine().
  std::size_t Make(char* out, std::size_t size, std::int64_t& left) {
    if (variable_) return rule_ ? MakeVariableEvery(out, size, left) : MakeVariable(out, size, left);
    if (layout_) {
      if (rule_ && chars_) return MakeLayoutEvery(out, size, left);
      return AssembleLines(*layout_, chars_ ? &*chars_ : nullptr, out, size, left);
    }
    std::size_t used = 0;  // long Random lines, filled in place
    for (const std::size_t width = nominal_ + EndWidth(); left > 0 && size - used >= width; --left, used += width) {
      FillPassing(out + used, nominal_);
      if (lf_)
        out[used + nominal_] = '\n';
      else
        EndLine(out + used + nominal_);
    }
    return used;
  }

  // Where the source stands after the lines made so far.
  typename Source::Mark Now() const { return chars_ ? chars_->Now() : source_.Now(); }

 private:
  // Tells the control of the lines made; a cancel asked for ends the block here.
  void Check() {
    if (control_ && control_->Report(made_)) throw RunCancelled{};
  }

  // n characters in place, drawn again until they pass the rule, if any.
  void FillPassing(char* out, std::size_t n) {
    source_.Fill(*table_, out, n);
    while (rule_ && !rule_->Passes(out, n)) {
      Check();
      source_.Fill(*table_, out, n);
    }
    ++made_;
  }

  // Layout lines under the rule: of the staged passwords, those that pass are assembled.
  std::size_t MakeLayoutEvery(char* out, std::size_t size, std::int64_t& left) {
    const std::size_t width = layout_->Width(), draws = layout_->Draws();
    // Eight characters and CR LF: the rule writes the lines itself.
    const bool plain = draws == 8 && width == 10 && layout_->IsPlain();
    std::size_t used = 0;
    while (left > 0 && size - used >= width) {
      chars_->Ensure(draws);
      const auto room = static_cast<std::size_t>(std::min<std::int64_t>(left, (size - used) / width));
      std::size_t taken = 0;
      const std::size_t lines = rule_->Keep(chars_->Chars(), chars_->Available() / draws, draws,
                                            plain ? out + used : kept_.Data(), room, taken, plain);
      if (!plain) layout_->Assemble(kept_.Data(), lines, out + used);
      chars_->Take(taken);
      used += lines * width;
      left -= static_cast<std::int64_t>(lines);
      made_ += static_cast<std::int64_t>(lines);
      Check();
    }
    return used;
  }

  // Variable lengths under the rule: a line's length is drawn once, then its characters
  // until they pass.
  std::size_t MakeVariableEvery(char* out, std::size_t size, std::int64_t& left) {
    char* at = out;
    char* const last = out + size - MaxLine();
    for (; left > 0 && at <= last; --left) {
      std::size_t n = 0;
      if (!chars_) {
        n = 5 + source_.Below(static_cast<std::uint32_t>(nominal_ - 4));
        FillPassing(at, n);
      } else {
        if constexpr (Source::kLengthsInStream) {
          chars_->Ensure(1);
          n = chars_->Seconds()[0] - 1u;  // the step to the next length draw, less the length draw
          chars_->Take(1);
        } else {
          lengths_->Ensure(1);
          n = static_cast<unsigned char>(lengths_->Chars()[0]);
          lengths_->Take(1);
        }
        for (chars_->Ensure(n); !rule_->Passes(chars_->Chars(), n); chars_->Ensure(n)) {
          chars_->Take(n);
          Check();
        }
        CopyShort(at, chars_->Chars(), n);  // up to 15 bytes past the line, which the next overwrites
        chars_->Take(n);
        ++made_;
      }
      EndLine(at + n);
      at += n + 2;
    }
    return static_cast<std::size_t>(at - out);
  }

  std::size_t MakeVariable(char* out, std::size_t size, std::int64_t& left) {
    char* at = out;
    char* const last = out + size - MaxLine();  // the last place where any line fits
    const auto lengths = static_cast<std::uint32_t>(nominal_ - 4);
    if (!chars_) {  // long lines: the length drawn, then the characters in place
      for (; left > 0 && at <= last; --left) {
        const std::size_t length = 5 + source_.Below(lengths);
        source_.Fill(*table_, at, length);
        EndLine(at + length);
        at += length + 2;
      }
    } else if constexpr (Source::kLengthsInStream) {
      while (left > 0 && at <= last) {
        chars_->Ensure(nominal_ + 1);
        const std::size_t ready = chars_->Available() - nominal_;  // whole lines from below here
        chars_->Take(walk_->Make(chars_->Seconds(), chars_->Chars(), ready, at, last, left));
      }
    } else {
      while (left > 0 && at <= last) {
        lengths_->Ensure(1);
        chars_->Ensure(nominal_);
        // Lines that surely fit, with their lengths and characters ready.
        auto lines = std::min<std::int64_t>({left, (last - at) / static_cast<std::ptrdiff_t>(MaxLine()) + 1,
                                             static_cast<std::int64_t>(lengths_->Available()),
                                             static_cast<std::int64_t>(chars_->Available() / nominal_)});
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
    }
    return static_cast<std::size_t>(at - out);
  }

  Source& source_;
  std::size_t nominal_;
  bool variable_ = false;
  bool lf_ = false;  // fixed-width lines end in LF alone
  bool crInPool_ = false;
  std::optional<Table> table_;        // the pool, when it has characters
  std::optional<Table> lengthTable_;  // staged variable lengths, or steps from one length draw to the next
  std::optional<CLineLayout> layout_;
  std::optional<CStage<Source>> chars_, lengths_;
  std::optional<CVariableLines> walk_;
  const CSetRule* rule_;  // null: every line passes
  CRunControl* control_;
  CWipedBuffer kept_;      // the passing passwords' characters of a layout under the rule
  std::int64_t made_ = 0;  // lines made under the rule
};

bool StopAsked(CRunControl* control, std::int64_t made) { return control && control->Report(made); }

// One line at a time: the list's rows, or lines too long for a block of the file.
template <class Source>
GenerateResult LineByLine(CLines<Source>& lines, Source& source, const PasswordSink& sink, std::int64_t count,
                          CRunControl* control, bool& created) {
  const std::size_t width = lines.MaxLine();
  CWipedBuffer line(width + CPasswordListFile::kRoomSlack);
  const bool toFile = sink.kind == PasswordSink::Kind::File;
  CPasswordListFile file;
  if (toFile) {
    if (!(sink.standardOutput ? file.CreateForStandardOutput() : file.Create(sink.path)))
      return GenerateResult::CannotCreate;
    file.UseLf(sink.lf);
    created = true;
  }
  GenerateResult result = GenerateResult::Completed;
  std::int64_t made = 0;
  for (; made < count; ++made) {
    if (StopAsked(control, made)) {
      result = GenerateResult::Cancelled;
      break;
    }
    std::int64_t one = 1;
    const typename Source::Mark before = lines.Now();
    std::size_t length = 0;
    try {
      length = lines.Make(line.Data(), width, one) - lines.EndWidth();
    } catch (const RunCancelled&) {
      source.Settle(before);
      return GenerateResult::Cancelled;  // the file, if any, is abandoned with `file`
    }
    if (!toFile) {
      sink.rows->AddRow(static_cast<int>(made), std::to_string(made), std::string_view(line.Data(), length));
    } else if (!file.WriteLine(line.Data(), length)) {
      result = GenerateResult::WriteFailed;
      ++made;
      break;
    }
  }
  source.Settle(lines.Now());
  if (control) control->Report(made);
  if (toFile && result == GenerateResult::Completed && !file.Close()) result = GenerateResult::WriteFailed;
  return result;
}

// Lines are made into one block while the writer thread writes the ones before. The source
// is settled where it stands after the blocks that count (every block, or up to the one
// whose write failed, or the last one made before a cancel), just as when each block was
// made only after the one before had been written.
// Bit k tells whether p[k] is a CR, for k in [0, 64).
std::uint64_t CrBits(const char* p) {
  const __m128i cr = _mm_set1_epi8('\r');
  std::uint64_t bits = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i piece = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    bits |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(piece, cr))))
            << (16 * k);
  }
  return bits;
}

// Drops the CR of each CR LF line in out[0, bytes) and returns the bytes of the LF lines,
// moved up in place. REQUIRES: no password holds a CR, and 64 readable bytes follow
// `bytes`. May write up to 16 bytes past the bytes returned. The CRs are found 64 bytes
// at a time, so that finding a line's end never waits on the line before.
std::size_t DropLineCrs(char* out, std::size_t bytes) {
  std::size_t kept = 0, start = 0, dropped = 0;
  std::uint64_t next = bytes > 0 ? CrBits(out) : 0;
  for (std::size_t base = 0; base < bytes; base += 64) {
    std::uint64_t crs = next;
    // The next 64 bytes are read before this piece's lines move up: a moved line may reach
    // the first of them.
    if (base + 64 < bytes) next = CrBits(out + base + 64);
    for (; crs != 0; crs &= crs - 1) {
      const std::size_t at = base + static_cast<std::size_t>(__builtin_ctzll(crs));
      if (at >= bytes) break;
      const std::size_t n = at - start;
      // Once the lines are 16 bytes up from where they were made, a 16-byte copy
      // overwrites only bytes already read.
      if (dropped < 16) {
        std::memmove(out + kept, out + start, n);
      } else {
        CopyShort(out + kept, out + start, n);
      }
      out[kept + n] = '\n';
      kept += n + 1;
      start = at + 2;
      ++dropped;
    }
  }
  return kept;
}

// DropLineCrs with a byte shuffle: each 16 bytes lose their CRs at a fixed stride, with no
// work a line. REQUIRES what DropLineCrs does, and `lines` CR LF lines in out[0, bytes).
// SSSE3 on every path above plain SSE2 (16-byte vectors, which the Windows x64 stack keeps
// aligned).
__attribute__((target("ssse3"))) std::size_t DropLineCrsShuffled(char* out, std::size_t bytes, std::size_t lines) {
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i high = _mm_set_epi64x(0x0808080808080808, 0);
  char* at = out;
  for (std::size_t in = 0; in < bytes; in += 16) {
    const __m128i piece = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + in));
    const unsigned keep = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(piece, cr))) & 0xFFFF;
    const __m128i places = _mm_add_epi8(
        _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(kLeftPack.shuffle[keep & 0xFF])),
                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kLeftPack.shuffle[keep >> 8]))),
        high);
    // A zero place stays 0x80 after adding 8, and pshufb writes it as zero.
    const __m128i moved = _mm_shuffle_epi8(piece, places);
    const std::size_t low = kLeftPack.count[keep & 0xFF];
    // The low half's bytes, then the high half's right after them: each store ends at or
    // before the next piece, so nothing unread is overwritten.
    _mm_storel_epi64(reinterpret_cast<__m128i*>(at), moved);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(at + low), _mm_unpackhi_epi64(moved, moved));
    at += low + kLeftPack.count[keep >> 8];
  }
  return bytes - lines;
}

// Lines ended in LF alone. Fixed widths are made so (EndsInLf). Variable lengths are made
// as CR LF lines and each CR is dropped, unless a password may hold one: then they are
// made one by one, each line's end being known as it is made. Takes what lines.Make takes.
template <class Source>
std::size_t MakeLfLines(CLines<Source>& lines, char* out, std::size_t size, std::int64_t& left) {
  if (lines.EndsInLf()) return lines.Make(out, size, left);
  std::size_t used = 0;
  if (!lines.CrInPool()) {
    // Again into the room the dropped CRs left, so that the block is as full as with CR LF.
    while (left > 0 && size - used >= lines.MaxLine()) {
      const std::int64_t before = left;
      const std::size_t bytes = lines.Make(out + used, size - used, left);
      used += ActiveFillPath() == FillPath::Sse2
                  ? DropLineCrs(out + used, bytes)
                  : DropLineCrsShuffled(out + used, bytes, static_cast<std::size_t>(before - left));
    }
    return used;
  }
  while (left > 0 && size - used >= lines.MaxLine()) {
    std::int64_t one = 1;
    const std::size_t n = lines.Make(out + used, size - used, one);
    out[used + n - 2] = '\n';  // over the CR; the next line starts over the LF
    used += n - 1;
    --left;
  }
  return used;
}

template <class Source>
GenerateResult ThroughPipeline(CLines<Source>& lines, Source& source, const PasswordSink& sink, std::int64_t count,
                               CRunControl* control, bool& created) {
  // The maker is never more than kBlocks blocks ahead of a failed write.
  std::array<typename Source::Mark, CBlockPipeline::kBlocks> after{};
  std::uint64_t blocks = 0;
  std::int64_t made = 0;
  const BlockMaker make = [&](char* out, std::size_t size, std::int64_t& left) {
    if (StopAsked(control, made)) throw RunCancelled{};
    const std::int64_t before = left;
    const std::size_t bytes = sink.lf ? MakeLfLines(lines, out, size, left) : lines.Make(out, size, left);
    made += before - left;
    after[blocks++ % after.size()] = lines.Now();
    return bytes;
  };
  CBlockPipeline pipeline;
  pipeline.ReportMakingBehind(&source.MakingBehind());
  if (control && control->Cancelled()) return GenerateResult::Cancelled;
  if (!(sink.standardOutput ? pipeline.CreateForStandardOutput() : pipeline.Create(sink.path)))
    return GenerateResult::CannotCreate;
  created = true;
  try {
    const auto outcome = pipeline.Run(count, lines.MaxLine(), make);
    if (outcome.blocks > 0) source.Settle(after[(outcome.blocks - 1) % after.size()]);
    if (control) control->Report(made);
    return outcome.written ? GenerateResult::Completed : GenerateResult::WriteFailed;
  } catch (const RunCancelled&) {
    if (blocks > 0) source.Settle(after[(blocks - 1) % after.size()]);
    return GenerateResult::Cancelled;
  }
}

template <class Source>
GenerateResult RunFrom(Source& source, const CGenerationSettings& settings, const PasswordSink& sink,
                       std::int64_t count, bool everySet, CRunControl* control, bool& created) {
  const CCharacterPool pool = CCharacterPool::Build(settings);
  if (sink.kind == PasswordSink::Kind::List) count = std::min<std::int64_t>(count, PasswordSink::kMaxListRows);
  if (count > 0 && pool.Length() == 0 && NeedsDraws(settings)) return GenerateResult::EmptyPool;
  std::optional<CSetRule> rule;
  if (everySet) rule.emplace(settings, pool.View());
  if (rule && rule->Count() == 0) rule.reset();  // nothing to ask for
  if (count > 0 && rule && static_cast<std::size_t>(rule->Count()) > Places(settings))
    return GenerateResult::SetsDoNotFit;
  // The secure key comes before the file: a failed source leaves any existing file untouched.
  if (!source.Start()) return GenerateResult::RandomFailed;
  CLines<Source> lines(settings, pool, source, rule ? &*rule : nullptr, control,
                       sink.kind == PasswordSink::Kind::File && sink.lf);
  if (sink.kind == PasswordSink::Kind::List || lines.MaxLine() > CPasswordListFile::kBlockSize)
    return LineByLine(lines, source, sink, count, control, created);
  return ThroughPipeline(lines, source, sink, count, control, created);
}

}  // namespace

GenerateResult CPasswordGenerator::Run(const CGenerationSettings& settings, const PasswordSink& sink,
                                       const RunOptions& options) {
  const std::int64_t count = options.count >= 0 ? options.count : std::max(settings.count, 0);
  // A run that cannot get its memory or its writer thread fails before the file is
  // created, and the user's old file stays as it was; a list run says so as such.
  bool created = false;
  try {
    if (options.secure) {
      CSecureSource source;
      return RunFrom(source, settings, sink, count, options.everySet, options.control, created);
    }
    CExactSource source(options.random ? *options.random : theRandom);
    return RunFrom(source, settings, sink, count, options.everySet, options.control, created);
  } catch (const std::bad_alloc&) {
    if (created) throw;
  } catch (const std::system_error&) {
    if (created) throw;
  }
  return sink.kind == PasswordSink::Kind::List ? GenerateResult::OutOfMemory : GenerateResult::CannotCreate;
}

SetsAndPlaces CPasswordGenerator::EverySetNeeds(const CGenerationSettings& settings) {
  const CCharacterPool pool = CCharacterPool::Build(settings);
  return {CSetRule(settings, pool.View()).Count(), Places(settings)};
}

GenerateResult CPasswordGenerator::Generate(const CGenerationSettings& settings, const PasswordSink& sink,
                                            CRandomSource& random) {
  return Generate(settings, sink, random, std::max(settings.count, 0));
}

GenerateResult CPasswordGenerator::Generate(const CGenerationSettings& settings, const PasswordSink& sink,
                                            CRandomSource& random, std::int64_t count) {
  return Run(settings, sink, {false, &random, std::max<std::int64_t>(count, 0), nullptr});
}

GenerateResult CPasswordGenerator::GenerateSecure(const CGenerationSettings& settings, const PasswordSink& sink) {
  return Run(settings, sink, {true, nullptr, -1, nullptr});
}

GenerateResult CPasswordGenerator::GenerateSecure(const CGenerationSettings& settings, const PasswordSink& sink,
                                                  std::int64_t count) {
  return Run(settings, sink, {true, nullptr, std::max<std::int64_t>(count, 0), nullptr});
}
