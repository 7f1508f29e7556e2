// Wiping memory that held a password before it is freed or reused.
#pragma once

#include <cstddef>

// Overwrites the n bytes at p with zeros in a way the compiler cannot drop as a dead
// store, even when the memory is freed right after. Does nothing for n = 0.
void SecureWipe(void* p, std::size_t n);
