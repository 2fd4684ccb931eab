#include "app/core/phone_message.h"

#include <deque>
#include <mutex>

#include "app/config/config_mgr.h"

namespace {

std::mutex g_sink_lock;  // guards g_sink
std::deque<PostedMessage> g_sink;

bool SinkIsWindow(uintptr_t wnd) { return wnd != 0; }

bool SinkPost(uintptr_t wnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::lock_guard<std::mutex> hold(g_sink_lock);
  if (g_sink.size() >= message_sink::kCapacity) g_sink.pop_front();
  g_sink.push_back(PostedMessage{wnd, message, wParam, lParam});
  return true;
}

// Written before workers start and after they stop (see the header).
WindowPoster g_poster{SinkIsWindow, SinkPost};

}  // namespace

void SetWindowPoster(const WindowPoster& poster) {
  if (poster.is_window == nullptr || poster.post == nullptr) {
    g_poster = WindowPoster{SinkIsWindow, SinkPost};
  } else {
    g_poster = poster;
  }
}

bool PostWindowMessage(uintptr_t wnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (!g_poster.is_window(wnd)) return false;
  return g_poster.post(wnd, message, wParam, lParam);
}

bool PostPhoneMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return PostWindowMessage(CConfigMgr::Instance()->GetMainWnd(), message, wParam, lParam);
}

namespace message_sink {
std::vector<PostedMessage> Take() {
  std::lock_guard<std::mutex> hold(g_sink_lock);
  std::vector<PostedMessage> out(g_sink.begin(), g_sink.end());
  g_sink.clear();
  return out;
}
}  // namespace message_sink
