// The ChaCha20 stream cipher's keystream: one block at a time in the standard byte order,
// and several blocks side by side with the vector instructions the processor has.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/FastFill.h"

class CChaCha20 {
 public:
  static constexpr std::size_t kBlockBytes = 64;
  // The most blocks one group holds (the widest path).
  static constexpr std::size_t kMaxLanes = 16;

  // `key` is 32 bytes, `nonce` 12 bytes; `counter` is the first block's number. The block
  // counter runs on into the nonce's first word, so one key gives 2^64 blocks from
  // counter 0 instead of 2^32 (the standard's blocks are the same while that word does not
  // change, which a run never comes near).
  CChaCha20(const unsigned char* key, const unsigned char* nonce, std::uint32_t counter);
  ~CChaCha20();  // wipes the key
  CChaCha20(const CChaCha20&) = delete;
  CChaCha20& operator=(const CChaCha20&) = delete;

  // Moves the stream to `block` blocks after where it began (random access: no block is
  // computed to get there).
  void Seek(std::uint64_t block);

  // Writes the next `blocks` blocks of keystream to out, in the standard byte order.
  void Keystream(unsigned char* out, std::size_t blocks);

  // The blocks of one group on `path`: 4, 8 or 16.
  static std::size_t Lanes(FillPath path);
  // Writes the next `groups` groups of Lanes(path) blocks, one after another, each
  // word-sliced: word w of a group's block b goes to out[w * Lanes(path) + b] of that
  // group's 16 * Lanes(path) words, copied bytewise (out may be any storage). The same
  // keystream as Keystream(), in another order. The working state is wiped on return.
  void KeystreamGroup(FillPath path, std::uint32_t* out, std::size_t groups = 1);

 private:
  std::uint32_t input_[16];
  std::uint64_t origin_;  // the 64-bit block counter at the start
};
