// Wiping memory that held a password before it is freed or reused.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

// Overwrites the n bytes at p with zeros in a way the compiler cannot drop as a dead
// store, even when the memory is freed right after. Does nothing for n = 0.
void SecureWipe(void* p, std::size_t n);

// Buffers whose bytes go to a file start on a cache line: the system's copy of a write into
// its file cache was measured a quarter slower from a source 16 bytes off a 32-byte
// boundary, which is where a large plain allocation starts.
inline constexpr std::size_t kBufferAlignment = 64;
struct CAlignedFree {
  void operator()(char* p) const noexcept { ::operator delete[](p, std::align_val_t{kBufferAlignment}); }
};
using AlignedBytes = std::unique_ptr<char[], CAlignedFree>;
// n uninitialised bytes at a multiple of kBufferAlignment. Throws std::bad_alloc.
inline AlignedBytes AllocateAligned(std::size_t n) {
  return AlignedBytes(static_cast<char*>(::operator new[](n, std::align_val_t{kBufferAlignment})));
}

// A zero-filled heap buffer of a fixed size, aligned as above, wiped when it is freed.
// Move-only.
class CWipedBuffer {
 public:
  CWipedBuffer() = default;
  explicit CWipedBuffer(std::size_t n) : data_(AllocateAligned(n)), size_(n) { std::memset(data_.get(), 0, n); }
  ~CWipedBuffer() { SecureWipe(data_.get(), size_); }
  CWipedBuffer(CWipedBuffer&& other) noexcept : data_(std::move(other.data_)), size_(other.size_) { other.size_ = 0; }
  CWipedBuffer& operator=(CWipedBuffer&& other) noexcept {
    CWipedBuffer old(std::move(*this));
    data_ = std::move(other.data_);
    size_ = other.size_;
    other.size_ = 0;
    return *this;
  }

  char* Data() const { return data_.get(); }
  std::size_t Size() const { return size_; }

 private:
  AlignedBytes data_;
  std::size_t size_ = 0;
};
