// base::Sigleton<T>: the one instance of T, made with its default constructor
// on first use. No lock: the first call must come before other threads use
// it. The owner deletes the instance at teardown (DestroyInstance).
#pragma once

namespace base {

template <typename T>
class Sigleton {
 public:
  static T* GetInstance() {
    if (instance_ == nullptr) instance_ = new T();
    return instance_;
  }
  static void DestroyInstance() {
    delete instance_;
    instance_ = nullptr;
  }

 protected:
  Sigleton() = default;
  ~Sigleton() = default;

 private:
  static inline T* instance_ = nullptr;
};

}  // namespace base
