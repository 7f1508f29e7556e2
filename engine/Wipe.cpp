// The wipe goes through a volatile function pointer: the compiler cannot see which
// function is called, so it cannot prove the zeros are never read and drop them.
#include "engine/Wipe.h"

#include <cstring>

namespace {
void* (*const volatile theMemset)(void*, int, std::size_t) = std::memset;
}  // namespace

void SecureWipe(void* p, std::size_t n) {
  if (n > 0) theMemset(p, 0, n);
}
