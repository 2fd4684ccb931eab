// PostPhoneMessage: how workers tell the windows. Every worker posts a
// numbered message (message_ids.h) to the main window whose handle the
// configuration keeps; nothing else crosses from a worker to a window.
//
// The actual posting is a seam: the UI sets a process-wide poster (its
// thread-safe PostMessage and IsWindow) at start. Until then the default
// poster is a recording sink: every handle but 0 counts as a window and
// each post is kept in a bounded list that tests read back.
//
// Threading: SetWindowPoster runs on the main thread before workers post
// (and at teardown after they stop); the posting functions and the sink
// may be used from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct WindowPoster {
  bool (*is_window)(uintptr_t wnd) = nullptr;
  // True when the message was queued for the window.
  bool (*post)(uintptr_t wnd, uint32_t message, uintptr_t wParam, intptr_t lParam) = nullptr;
};

// Installs `poster`; a poster with a null function restores the sink.
void SetWindowPoster(const WindowPoster& poster);

// Posts to `wnd` when the poster says it is a window; false otherwise.
bool PostWindowMessage(uintptr_t wnd, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Posts to the main window kept by CConfigMgr (nothing while it is 0).
bool PostPhoneMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

// Posts a message that carries a heap object in lParam: the receiver owns
// it once posted; when the post fails it is freed here.
template <typename T>
bool PostPhoneMessageOwning(uint32_t message, uintptr_t wParam, std::unique_ptr<T> object) {
  T* raw = object.get();
  if (!PostPhoneMessage(message, wParam, reinterpret_cast<intptr_t>(raw))) return false;
  object.release();
  return true;
}

// The recording sink (the default poster).
struct PostedMessage {
  uintptr_t wnd;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};
namespace message_sink {
constexpr size_t kCapacity = 4096;  // older posts are dropped beyond this
std::vector<PostedMessage> Take();  // returns and clears what was posted
}  // namespace message_sink
