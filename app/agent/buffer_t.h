// CBufferT<T>: a growable buffer for agent replies.
//
// The buffer always keeps one zero element right behind its content, so the
// data can be read as a NUL-terminated string (the reply check does) without
// reading past the end. Growth is geometric (at least half the capacity
// again, at least the grow step), and only the content is copied, so a reply
// read in small pieces costs time linear in its size. A reader can also
// receive straight into the room behind the content (AppendRoom, then
// Commit), and a finished buffer can be handed on by Swap, without copies.
// Memory that will be written is not zero-filled first.
//
// Threading: a plain value object, one thread at a time.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <new>
#include <utility>

template <typename T>
class CBufferT {
  static_assert(std::is_trivially_copyable<T>::value, "the buffer moves its elements as bytes");

 public:
  explicit CBufferT(size_t step) : step_(step == 0 ? 1 : step) { Allocate(step_); }
  virtual ~CBufferT() { Free(); }
  CBufferT(const CBufferT&) = delete;
  CBufferT& operator=(const CBufferT&) = delete;

  // Frees the data and allocates room for `n` elements (plus the step when
  // the step is smaller); length 0, the first element zero. n = 0: no
  // data, false.
  bool Allocate(size_t n) {
    Free();
    if (n == 0) return false;
    const size_t capacity = step_ < n ? step_ + n : step_;
    data_ = static_cast<T*>(std::malloc(capacity * sizeof(T)));
    if (data_ == nullptr) return false;
    data_[0] = T();
    capacity_ = capacity;
    return true;
  }

  bool Reset(size_t n) { return Allocate(n); }

  // Appends `n` elements; the content stays zero-terminated. On failure the
  // buffer keeps what it had.
  bool Append(const T* items, size_t n) {
    if (n == 0) return true;
    if (items == nullptr) return false;
    if (capacity_ - length_ <= n && !Grow(n)) return false;  // room for the items and a zero
    std::memcpy(data_ + length_, items, n * sizeof(T));
    length_ += n;
    data_[length_] = T();
    return true;
  }

  bool AppendBuffer(const CBufferT& other) { return Append(other.data_, other.length_); }

  // Room for at least `n` more elements behind the content (growing as
  // Append does), to be filled and then committed; `*room` gets its whole
  // size, the terminating zero's place left out. Null (nothing changed)
  // when that cannot be had.
  T* AppendRoom(size_t n, size_t* room) {
    if (n == 0) n = 1;
    if (capacity_ - length_ <= n && !Grow(n)) return nullptr;
    *room = capacity_ - length_ - 1;
    return data_ + length_;
  }

  // Takes `n` elements written into the room as content (n at most the
  // room AppendRoom reported) and puts the zero behind them.
  void Commit(size_t n) {
    length_ += n;
    data_[length_] = T();
  }

  // Exchanges content and memory with `other` (the steps stay).
  void Swap(CBufferT& other) {
    std::swap(data_, other.data_);
    std::swap(length_, other.length_);
    std::swap(capacity_, other.capacity_);
  }

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
    std::free(data_);
    data_ = nullptr;
    length_ = 0;
    capacity_ = 0;
  }

  // Moves the content to new memory with room for `more` elements and the
  // terminating zero; false (nothing changed) when that cannot be had.
  bool Grow(size_t more) {
    const size_t limit = static_cast<size_t>(-1) / sizeof(T);
    if (more > limit - length_ - 1) return false;
    size_t capacity = length_ + more + 1;
    const size_t geometric = capacity_ <= limit - capacity_ / 2 ? capacity_ + capacity_ / 2 : limit;
    if (capacity < geometric) capacity = geometric;
    if (capacity < step_) capacity = step_;
    // realloc moves large blocks by remapping their pages, without a copy.
    T* grown = static_cast<T*>(std::realloc(data_, capacity * sizeof(T)));
    if (grown == nullptr) return false;
    grown[length_] = T();
    data_ = grown;
    capacity_ = capacity;
    return true;
  }

  T* data_ = nullptr;
  size_t length_ = 0;
  size_t capacity_ = 0;
  size_t step_;
};
