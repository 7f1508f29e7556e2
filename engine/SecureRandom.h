// The system's cryptographic random source, and unbiased draws from a ChaCha20 stream
// keyed by it once per run. Nothing here touches the 15-bit generator.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/ChaCha20.h"
#include "engine/FastFill.h"
#include "engine/SystemRandom.h"

// Where the key bytes come from: SystemRandomBytes unless a test stands in.
using SystemRandomFunction = bool (*)(void* out, std::size_t n);
// Tests: makes `source` the key source (nullptr restores the system's); returns the one
// that was in force.
SystemRandomFunction ReplaceSystemRandom(SystemRandomFunction source);

// A pool of 1 to 256 characters prepared for secure draws (a character pool holds 255 at
// most; 256 is the most a byte index reaches, and the tests map it too). Each 16-bit random word x gives
// `digits` characters at once: with P = L^digits <= 2^16, x * P / 2^16 is uniform on
// [0, P) once the words whose x * P mod 2^16 falls below 2^16 mod P are rejected
// (Lemire's method), and its base-L digits come out one multiplication each (x times L:
// the high half is the next digit, the low half carries on).
struct CSecureTable {
  // REQUIRES: 1 <= pool.size() <= 256.
  explicit CSecureTable(std::string_view pool);

  std::uint32_t length;
  std::uint32_t digits;     // characters per 16-bit word, chosen for the fewest words per character
  std::uint32_t threshold;  // 2^16 mod L^digits: a word whose final low half is below this is rejected
  unsigned char entries[256] = {};
  // The entries as shuffle chunks (see ShuffleLookup.h) for the SSE4.1 and AVX2 kernels.
  unsigned char chunks[16][32] = {};
  int chunkCount = 0;  // ceil(L / 16)
  // Where cutting the keystream into fields of b bits, with 2^(b - 1) < L <= 2^b, and
  // keeping those below L takes fewer bits a character than the words do, b; else 0 (see
  // HasFieldKernel).
  std::uint32_t fieldBits = 0;
};

// Tests: the word-to-characters mappings, the scalar one and each vector kernel.
enum class MapKernel { Scalar, Sse2, Sse41, Avx2, Avx512 };
// Tests: maps n words with `kernel` (which the processor must have) as they come, without
// drawing again for a rejected one: word i's characters go to out[i * digits, (i + 1) *
// digits) and rejected[i] says whether it is rejected (its characters are then unused).
void MapWordsForTest(MapKernel kernel, const CSecureTable& table, const std::uint16_t* words, std::size_t n, char* out,
                     bool* rejected);
// True when `path` (which the processor must have) draws from fields where the table
// says so (see fieldBits): SSE4.1, and AVX-512 with byte compress.
bool HasFieldKernel(FillPath path);
// Tests: the fields of `groups` groups of 8 * fieldBits bytes at `bytes`, which form one
// little-endian bit stream (field i is bits [i * b, (i + 1) * b)), through `path`'s
// kernel; the characters of those below L go to out in order, and their count is returned.
// REQUIRES: HasFieldKernel(path) and table.fieldBits != 0; room at out for 64 characters a
// group.
std::size_t MapFieldsForTest(FillPath path, const CSecureTable& table, const unsigned char* bytes, std::size_t groups,
                             char* out);

class CSegmentRing;

class CSecureRandom {
 public:
  CSecureRandom();
  ~CSecureRandom();  // wipes the key, the cipher state and the unused keystream
  CSecureRandom(const CSecureRandom&) = delete;
  CSecureRandom& operator=(const CSecureRandom&) = delete;

  // Keys a fresh stream with 32 bytes from the system's source. False when the source
  // failed; no draw may then be made.
  bool Start();
  // Uniform on [0, n). REQUIRES: n >= 1 and Start() succeeded.
  std::uint32_t Below(std::uint32_t n);
  // Writes n characters of the table's pool to out, each uniform and independent of every
  // other. REQUIRES: Start() succeeded.
  void Fill(const CSecureTable& table, char* out, std::size_t n);

  // Keystream is made ahead on a second thread only while `demand` is true (see
  // CSegmentRing). REQUIRES: before Start().
  void FollowDemand(const std::atomic<bool>* demand) { demand_ = demand; }

  // Tests: limits the vector instructions used, as LimitFillPath does for the other fills.
  // REQUIRES: before the first draw after Start().
  void UsePath(FillPath path);

  // 16-bit words of keystream in one segment: 16 KiB.
  static constexpr std::size_t kBufferWords = 8192;

 private:
  // The next n 16-bit words of keystream. REQUIRES: n <= the buffer's words.
  const std::uint16_t* Take(std::size_t n);
  void Refill();
  // Up to `chunks` chunks (the path's words times the table's digits in characters) into
  // out, as many as the buffered keystream gives (at least one); returns how many.
  std::size_t Chunks(const CSecureTable& table, std::size_t chunks, char* out);
  // Fill from the table's fields of keystream (see fieldBits).
  void FillFields(const CSecureTable& table, char* out, std::size_t n);

  FillPath path_;
  const std::atomic<bool>* demand_ = nullptr;
  std::unique_ptr<CSegmentRing> ring_;    // the keystream, in segments of kBufferWords
  const std::uint16_t* words_ = nullptr;  // the segment in use
  std::size_t next_ = kBufferWords;       // in 16-bit words; no segment at first
};
