// The system's cryptographic random source on Windows: BCryptGenRandom with the system's
// preferred generator (no algorithm handle to open or close).
#include <windows.h>

#include <bcrypt.h>

#include "engine/SystemRandom.h"

bool SystemRandomBytes(void* out, std::size_t n) {
  auto* at = static_cast<unsigned char*>(out);
  while (n > 0) {
    const ULONG part = n > 0x10000000 ? 0x10000000 : static_cast<ULONG>(n);
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, at, part, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return false;
    at += part;
    n -= part;
  }
  return true;
}
