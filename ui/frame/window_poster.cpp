#include "ui/frame/window_poster.h"

#include "app/core/message_payloads.h"
#include "app/core/phone_message.h"
#include "qenui/UIlib.h"

namespace {

// Set while this thread is inside PostMessage: a deleter run then is the
// immediate failure of that post, whose object stays with the caller.
thread_local bool t_posting = false;

bool IsWindowFn(uintptr_t wnd) { return DuiLib::IsWindow(wnd); }

bool PostFn(uintptr_t wnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (!MessageOwnsPayload(message)) return DuiLib::PostMessage(wnd, message, wParam, lParam);
  t_posting = true;
  bool queued = DuiLib::PostMessage(wnd, message, wParam, lParam, [](DuiLib::UINT m, DuiLib::WPARAM w, DuiLib::LPARAM l) {
    if (!t_posting) FreeMessagePayload(m, w, l);  // dropped from the queue: nobody else owns it
  });
  t_posting = false;
  return queued;
}

}  // namespace

void InstallWindowPoster() { SetWindowPoster(WindowPoster{IsWindowFn, PostFn}); }
void UninstallWindowPoster() { SetWindowPoster(WindowPoster{}); }
