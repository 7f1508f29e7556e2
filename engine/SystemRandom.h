// The system's cryptographic random source: getrandom natively, BCryptGenRandom on
// Windows (one file per platform, chosen by the build).
#pragma once

#include <cstddef>

// Fills all n bytes at out and returns true, or returns false when the source failed.
bool SystemRandomBytes(void* out, std::size_t n);
