// The 15-bit linear congruential generator behind every random decision of a run.
#pragma once

#include <cstdint>

class CRandomSource {
 public:
  static constexpr std::uint32_t kMultiplier = 214013;  // 0x343FD
  static constexpr std::uint32_t kIncrement = 2531011;  // 0x269EC3
  static constexpr std::uint32_t kDivisor = 32767;      // the scaling divides by this, not 32768

  void Seed(std::uint32_t value) { state_ = value; }

  // Advances the state and returns bits 16 to 30 of the new state: 0 to 32,767.
  std::uint32_t Next() {
    state_ = state_ * kMultiplier + kIncrement;
    return (state_ >> 16) & 0x7FFF;
  }

  // REQUIRES: length >= 1. Returns 0 to length - 1 from exactly one Next().
  std::uint32_t Pick(std::uint32_t length) { return Scale(Next(), length); }

  // The scaling rule of Pick for a given r: (r * length) / 32767, capped at length - 1.
  // The product is taken in 64 bits, so it never wraps.
  static std::uint32_t Scale(std::uint32_t r, std::uint32_t length) {
    const std::uint64_t q = static_cast<std::uint64_t>(r) * length / kDivisor;
    return q < length ? static_cast<std::uint32_t>(q) : length - 1;
  }

  std::uint32_t State() const { return state_; }

 private:
  std::uint32_t state_ = 1;  // the value before seeding
};

// The process-wide source: seeded once when the main window initialises.
extern CRandomSource theRandom;
