// Table lookup of byte indices with byte shuffles (SSSE3 pshufb, 16 entries a shuffle): the
// table is cut into chunks of 16, each stored XOR the chunk below it, so that XOR-ing the
// shuffles of every chunk at or below an index leaves that index's entry (an index below a
// chunk goes negative there, and pshufb gives 0 for it). Indices from 128 up are looked
// up in the upper 128 entries on their own and picked by their top bit.
#pragma once

#include <immintrin.h>

#include <cstdint>

#define KM_SSE41 __attribute__((target("ssse3,sse4.1")))
#define KM_AVX2 __attribute__((target("avx2")))

// chunks[k] gets entries[16k, 16k + 16) XOR those of chunk k - 1 (chunks 0 and 8 start
// afresh), twice: once for each half of a 256-bit register. entries holds 16 * count bytes.
inline void MakeShuffleChunks(const unsigned char* entries, int count, unsigned char (*chunks)[32]) {
  for (int k = 0; k < count; ++k)
    for (int b = 0; b < 16; ++b) {
      const unsigned char below = k % 8 == 0 ? 0 : entries[16 * (k - 1) + b];
      chunks[k][b] = chunks[k][b + 16] = static_cast<unsigned char>(entries[16 * k + b] ^ below);
    }
}

// The entries of 16 indices from `count` chunks (1 to 16).
KM_SSE41 inline __m128i Sse41LookupHalf(const unsigned char (*chunks)[32], int count, __m128i index) {
  __m128i result = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(chunks[0])), index);
  for (int k = 1; k < count; ++k) {
    index = _mm_sub_epi8(index, _mm_set1_epi8(16));
    result =
        _mm_xor_si128(result, _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(chunks[k])), index));
  }
  return result;
}

KM_SSE41 inline __m128i Sse41Lookup(const unsigned char (*chunks)[32], int count, __m128i index) {
  if (count <= 8) return Sse41LookupHalf(chunks, count, index);
  const __m128i below = Sse41LookupHalf(chunks, 8, index);
  const __m128i above = Sse41LookupHalf(chunks + 8, count - 8, _mm_xor_si128(index, _mm_set1_epi8(-128)));
  return _mm_blendv_epi8(below, above, index);
}

// The same for 32 indices.
KM_AVX2 inline __m256i Avx2LookupHalf(const unsigned char (*chunks)[32], int count, __m256i index) {
  __m256i result = _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(chunks[0])), index);
  for (int k = 1; k < count; ++k) {
    index = _mm256_sub_epi8(index, _mm256_set1_epi8(16));
    const __m256i chunk = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(chunks[k]));
    result = _mm256_xor_si256(result, _mm256_shuffle_epi8(chunk, index));
  }
  return result;
}

KM_AVX2 inline __m256i Avx2Lookup(const unsigned char (*chunks)[32], int count, __m256i index) {
  if (count <= 8) return Avx2LookupHalf(chunks, count, index);
  const __m256i below = Avx2LookupHalf(chunks, 8, index);
  const __m256i above = Avx2LookupHalf(chunks + 8, count - 8, _mm256_xor_si256(index, _mm256_set1_epi8(-128)));
  return _mm256_blendv_epi8(below, above, index);
}

// For each 8-bit mask of lanes to keep: the byte shuffle that moves them to the front, in
// order, with 0x80 (a zero) in the places after them, and how many they are (a processor
// with SSSE3 or SSE4.1 need not have POPCNT).
struct CLeftPack {
  alignas(8) unsigned char shuffle[256][8];
  unsigned char count[256];
  CLeftPack() : shuffle(), count() {
    for (unsigned m = 0; m < 256; ++m) {
      for (unsigned char& place : shuffle[m]) place = 0x80;
      for (unsigned lane = 0; lane < 8; ++lane)
        if (m >> lane & 1) shuffle[m][count[m]++] = static_cast<unsigned char>(lane);
    }
  }
};
inline const CLeftPack kLeftPack;
