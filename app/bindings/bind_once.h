// The one instance of a binding, made and loaded on first use from whichever
// thread asks.
#pragma once

#include <atomic>
#include <thread>

namespace app {

// When the instance's library is opened: by Get() as it makes the instance,
// or by the instance itself when it first needs it.
enum class Opening { kWhenMade, kOnFirstNeed };

// Threading: Get() from any thread: the first caller makes the instance and
// (kWhenMade) has it Load() its library, whatever that answers; the others
// wait until it is stored. Take() only at teardown, when no thread calls
// Get(); the next Get() makes a new instance.
template <typename T, Opening opening = Opening::kWhenMade>
class BindOnce {
 public:
  T* Get() {
    int expected = kNone;
    if (state_.compare_exchange_strong(expected, kBeingMade)) {
      auto* made = new T();
      if constexpr (opening == Opening::kWhenMade) made->Load();
      instance_ = made;
      state_.store(kMade);
    } else {
      while (state_.load() != kMade) std::this_thread::yield();
    }
    return instance_;
  }

  // Hands the instance over (null when none) and forgets it.
  T* Take() {
    T* instance = instance_;
    instance_ = nullptr;
    state_.store(kNone);
    return instance;
  }

 private:
  enum { kNone, kBeingMade, kMade };
  std::atomic<int> state_{kNone};
  T* instance_ = nullptr;
};

}  // namespace app
