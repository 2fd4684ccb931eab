// CBufferT<T>: a growable buffer for agent replies.
//
// Memory behind the used length is always zero, and the buffer always keeps
// at least one zero element behind its content, so the data can be read as
// a NUL-terminated string (the reply check does) without reading past the
// end. Growth: to the needed size plus the grow step.
//
// Threading: a plain value object, one thread at a time.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>

template <typename T>
class CBufferT {
 public:
  explicit CBufferT(size_t step) : step_(step == 0 ? 1 : step) { Allocate(step_); }
  virtual ~CBufferT() { Free(); }
  CBufferT(const CBufferT&) = delete;
  CBufferT& operator=(const CBufferT&) = delete;

  // Frees the data and allocates room for `n` elements (plus the step when
  // the step is smaller), zero-filled; length 0. n = 0: no data, false.
  bool Allocate(size_t n) {
    Free();
    if (n == 0) return false;
    const size_t capacity = step_ < n ? step_ + n : step_;
    data_ = new (std::nothrow) T[capacity];
    if (data_ == nullptr) return false;
    std::memset(data_, 0, capacity * sizeof(T));
    capacity_ = capacity;
    return true;
  }

  bool Reset(size_t n) { return Allocate(n); }

  // Appends `n` elements; the content stays zero-terminated.
  bool Append(const T* items, size_t n) {
    if (n == 0) return true;
    if (items == nullptr) return false;
    if (capacity_ - length_ <= n) {  // no room for the items and a terminating zero
      T* old = data_;
      const size_t old_length = length_;
      data_ = nullptr;
      length_ = 0;
      capacity_ = 0;
      if (!Allocate(old_length + n + 1)) {
        data_ = old;  // keep what there was
        length_ = old_length;
        return false;
      }
      if (old_length > 0) std::memcpy(data_, old, old_length * sizeof(T));
      delete[] old;
      length_ = old_length;
    }
    std::memcpy(data_ + length_, items, n * sizeof(T));
    length_ += n;
    return true;
  }

  bool AppendBuffer(const CBufferT& other) { return Append(other.data_, other.length_); }

  // Zero-fills the memory and empties the buffer (the memory is kept).
  virtual void Clear() {
    if (data_ != nullptr) std::memset(data_, 0, capacity_ * sizeof(T));
    length_ = 0;
  }

  const T* GetData() const { return data_; }
  size_t GetLength() const { return length_; }
  size_t GetCapacity() const { return capacity_; }
  size_t GetStep() const { return step_; }

 private:
  void Free() {
    delete[] data_;
    data_ = nullptr;
    length_ = 0;
    capacity_ = 0;
  }

  T* data_ = nullptr;
  size_t length_ = 0;
  size_t capacity_ = 0;
  size_t step_;
};
