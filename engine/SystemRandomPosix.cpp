// The system's cryptographic random source, natively: getrandom.
#include <sys/random.h>

#include <cerrno>

#include "engine/SystemRandom.h"

bool SystemRandomBytes(void* out, std::size_t n) {
  auto* at = static_cast<unsigned char*>(out);
  while (n > 0) {
    // Reads of up to 256 bytes never come back short once the source is ready; larger ones
    // may, and any read may be interrupted by a signal.
    const ssize_t got = getrandom(at, n, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    at += got;
    n -= static_cast<std::size_t>(got);
  }
  return true;
}
