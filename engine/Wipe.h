// Wiping memory that held a password before it is freed or reused.
#pragma once

#include <cstddef>
#include <memory>

// Overwrites the n bytes at p with zeros in a way the compiler cannot drop as a dead
// store, even when the memory is freed right after. Does nothing for n = 0.
void SecureWipe(void* p, std::size_t n);

// A zero-filled heap buffer of a fixed size, wiped when it is freed. Move-only.
class CWipedBuffer {
 public:
  CWipedBuffer() = default;
  explicit CWipedBuffer(std::size_t n) : data_(new char[n]()), size_(n) {}
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
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
};
