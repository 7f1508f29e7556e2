// Many draws of the random source at once: the pool characters of consecutive Pick(L)
// calls computed side by side with the widest vector instructions the processor has, and
// the assembly of password lines from them. Every path gives the same bytes as drawing
// one character after another.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// The recurrence jumped ahead: the state n draws after s is mul * s + add (mod 2^32).
struct CJump {
  std::uint32_t mul = 1;
  std::uint32_t add = 0;

  static CJump Of(std::uint64_t n);
  std::uint32_t Apply(std::uint32_t state) const { return mul * state + add; }
  // This jump followed by `then`.
  CJump Then(const CJump& then) const { return {then.mul * mul, then.mul * add + then.add}; }
};

// The instruction sets a fill can run on, from the baseline of every x86-64 processor up:
// SSE2 alone; SSSE3 with SSE4.1 (byte shuffles, 32-bit multiplies: nearly every processor
// without AVX that runs a current Windows); AVX2; AVX-512 with byte permutes.
enum class FillPath { Sse2 = 0, Sse41 = 1, Avx2 = 2, Avx512 = 3 };
inline constexpr FillPath kFillPaths[] = {FillPath::Sse2, FillPath::Sse41, FillPath::Avx2, FillPath::Avx512};

// "sse2", "sse41", "avx2" or "avx512".
const char* FillPathName(FillPath path);
// The path of that name; false for a name that is none of them.
bool FillPathNamed(std::string_view name, FillPath& path);

// The widest path this processor (and the limit below) allows.
FillPath ActiveFillPath();
// Tests and the bench: allows only paths up to `limit` (the processor still decides what
// it can run).
// Returns the path now in force.
FillPath LimitFillPath(FillPath limit);

// A pool of 1 to 255 characters prepared for vector lookup.
struct CFillTable {
  static constexpr std::size_t kMaxPool = 255;

  // REQUIRES: 1 <= pool.size() <= kMaxPool.
  explicit CFillTable(std::string_view pool);

  std::uint32_t length = 0;
  // False in the unexpected case that no single-precision factor scales every draw
  // exactly for this pool length; FillChars then draws one at a time.
  bool exact = false;
  // (float)(state & 0x7FFF0000) * scale, truncated, is r * L / 32767 for every r; that
  // is L only for r = 32,767, where Pick caps it to L - 1.
  float scale = 0;
  // entries[q] is pool[q]; entry L repeats pool[L - 1], so the cap costs nothing. The
  // rest are zero.
  unsigned char entries[256] = {};
  // pshufb tables, each 16 bytes twice (for both halves of a 256-bit register): chunk k
  // holds entries 16k..16k+15 XOR those of chunk k - 1 (within each half of 128 entries),
  // so that XOR-ing the lookups of every chunk at or below an index leaves its entry.
  unsigned char chunks[16][32] = {};
  int chunkCount = 0;  // chunks in use: ceil((L + 1) / 16)
};

// Two tables mapping the same draws (a pool, and the steps between variable lengths).
// Where it is exact, one index q = r * L1 * L2 / 32767 serves both: q / L2 is r * L1 /
// 32767 and q / L1 is r * L2 / 32767 (the floor of a floor divided by a whole number is
// the floor of the quotient), each the high half of a 16-bit multiply, which costs less
// than a scaling of its own.
struct CFillPair {
  CFillPair(const CFillTable& first, const CFillTable& second);

  const CFillTable* first;
  const CFillTable* second;
  // True when L1 * L2 fits 16 bits, `scale` gives q exactly for every r, both divisions
  // are exact for every q up to L1 * L2, and the second table fits one lookup chunk. The
  // AVX2 and SSE4.1 paths then take one index; the others map each table on its own.
  bool combined = false;
  float scale = 0;  // as CFillTable::scale, for L1 * L2
  // q / L2 = (q * firstMul) >> 16 and q / L1 = (q * secondMul) >> 16.
  std::uint16_t firstMul = 0, secondMul = 0;
};

// Writes the pool characters of the next n draws to out[0, n) and advances `state` by n
// draws, exactly as n calls of Pick(L) would.
void FillChars(const CFillTable& table, std::uint32_t& state, char* out, std::size_t n);
// The same for the pair's first table, and the entries of its second for the same draws
// to out2[0, n): two mappings of one stream for the price of little more than one.
void FillChars(const CFillPair& pair, std::uint32_t& state, char* out, char* out2, std::size_t n);

// Tests: the characters that `path` makes for the given states (each the state after a
// draw), to check the scaling and lookup for every r. n may be any count.
void CharsForStates(FillPath path, const CFillTable& table, const std::uint32_t* states, std::size_t n, char* out);

// The shape of every line of a run whose lines all look alike: a Masked run, or a Random
// run of fixed length. Marker positions take consecutive draws; the others are copied.
class CLineLayout {
 public:
  // `line` is the whole line (password and CR LF); isDraw(p) tells the drawing positions.
  CLineLayout(std::string_view line, const std::vector<bool>& isDraw);

  std::size_t Width() const { return line_.size(); }
  std::size_t Draws() const { return one_.draws; }
  // True when the line is its draws followed by CR LF, nothing else.
  bool IsPlain() const {
    return line_.size() == Draws() + 2 && line_.compare(Draws(), 2, "\r\n") == 0 &&
           (Draws() == 0 || (runs_.size() == 1 && runs_[0].at == 0));
  }

  // Writes `lines` lines to out, taking Draws() characters each from chars. May read up
  // to 16 bytes past the characters used and write up to 16 bytes past the last line.
  void Assemble(const char* chars, std::size_t lines, char* out) const;

  struct Run {  // draws [first, first + length) go to positions [at, at + length)
    std::size_t at, first, length;
  };
  struct Segment {  // 16 bytes of a line: pshufb of the 16 draws from `first`, OR literal
    std::size_t first;
    unsigned char shuffle[16];
    unsigned char literal[16];
  };
  struct Layout {  // `lines` lines of `width` bytes with `draws` draws, as 16-byte segments
    std::size_t lines = 0, width = 0, draws = 0;
    std::vector<Segment> segments;
  };

 private:
  void AssembleRuns(const char* chars, std::size_t lines, char* out) const;

  std::string line_;
  std::vector<Run> runs_;
  Layout one_;    // one line
  Layout group_;  // a group of lines that ends on a 16-byte boundary, when that helps
};

// Copies in 16-byte pieces: up to 15 bytes beyond n (and 16 for n = 0) are read and written.
inline void CopyShort(char* out, const char* in, std::size_t n) {
  std::size_t k = 0;
  do {
    std::memcpy(out + k, in + k, 16);
    k += 16;
  } while (k < n);
}

inline void EndLine(char* at) {
  at[0] = '\r';
  at[1] = '\n';
}

// Makes whole lines of `layout` into out[0, size) while `left` lasts, counting it down, and
// returns the bytes made. Each line takes layout.Draws() characters from `stage` (a draw
// stage with Ensure, Available, Chars and Take; unused, and may be null, when the layout
// draws nothing). May write up to 16 bytes past the lines made.
template <class Stage>
std::size_t AssembleLines(const CLineLayout& layout, Stage* stage, char* out, std::size_t size, std::int64_t& left) {
  static const char kNone[32] = {};
  const std::size_t width = layout.Width(), draws = layout.Draws();
  std::size_t used = 0;
  while (left > 0 && size - used >= width) {
    std::size_t ready = size / width;
    if (draws > 0) {
      stage->Ensure(draws);
      ready = stage->Available() / draws;
    }
    const auto lines = static_cast<std::size_t>(std::min<std::int64_t>(
        {left, static_cast<std::int64_t>((size - used) / width), static_cast<std::int64_t>(ready)}));
    layout.Assemble(draws > 0 ? stage->Chars() : kNone, lines, out + used);
    if (draws > 0) stage->Take(lines * draws);
    used += lines * width;
    left -= static_cast<std::int64_t>(lines);
  }
  return used;
}
