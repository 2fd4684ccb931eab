// CSingleInstance: keeps a second copy of the program from running, and lets
// a second start wake the first one.
//
// On this platform the named mutex is an exclusive lock (flock) on a file
// named from the mutex name in the user's runtime folder, and the "window"
// that a second start looks for is a local socket named from the window
// class and the user, on which the first instance listens:
//
//   <runtime>/<mutex name, made safe>.lock     held while the instance runs
//   <runtime>/<window class>-<uid>.sock        the first instance's listener
//
// <runtime> is $XDG_RUNTIME_DIR when it is an absolute folder, else
// <TempDir>/phonedeck-<uid> (made with mode 0700; refused, so no lock can be
// made, when it is another user's folder or a link).
//
// The socket speaks short text lines. A client first sends "probe"; a live
// first instance answers "alive" once its UI thread has seen the probe (the
// prober posts the answer to that thread's loop), so a first instance whose
// window hangs does not answer in time and counts as hung. Then "post <msg> <wParam> <lParam>"
// lines follow, each handed to the poster that the program installed (which
// posts to its main window). Only the wake-up messages (WM_SYSCOMMAND with
// SC_RESTORE, 35768) and the quit request 1295 are accepted, and only from
// processes of the same user; anything else ends the connection.
//
// Threading: Check and Close run on the main thread. The listener runs on a
// thread of its own, started by Check and stopped (woken and joined) by
// Close; the poster and the prober are called on that thread and must be
// thread-safe (the UI library's PostMessage and PostCall are). The answer a
// prober is given may be run on any thread, at any later time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CInstanceListener;

class CSingleInstance {
 public:
  // How long a second start waits for the first instance's answer before it
  // takes it for hung (and sends nothing).
  static constexpr int kAnswerTimeoutMs = 2000;

  using Poster = std::function<bool(uint32_t message, uintptr_t wParam, intptr_t lParam)>;
  // Hands `answer` to the UI thread to run; false when it cannot.
  using Prober = std::function<bool(std::function<void()> answer)>;

  // True when this process is the only instance (it then holds the lock and
  // listens). False when another instance runs - then, when `restore` is set
  // and the other instance answers, it was sent WM_SYSCOMMAND/SC_RESTORE and
  // 35768 with wParam 100 - and also when the lock cannot be taken for any
  // other reason (logged with the folder or file and the error).
  static bool Check(const char16_t* mutex_name, const char16_t* window_class, const char16_t* window_name,
                    bool restore);
  // Stops the listener, removes its socket and releases the lock.
  static void Close();

  // Where the first instance's messages go (the main window's poster).
  // Until one is set, accepted messages are dropped.
  static void SetPoster(Poster poster);
  // Who answers a probe: with a prober set, the probe is answered only once
  // the answer has run (within kAnswerTimeoutMs); without one (no window
  // yet), at once.
  static void SetProber(Prober prober);

  // The runtime folder (created when missing) and the two names in it;
  // empty (logged) when the folder cannot be used.
  static std::string RuntimeDir();
  static std::string LockPath(const char16_t* mutex_name);
  static std::string SocketPath(const char16_t* window_class);

  // Sends `message` lines to a running first instance as a second start
  // does; false when none listens or it does not answer in time.
  static bool SendToRunningInstance(const char16_t* window_class, const std::string& lines);

 private:
  static int lock_fd_;
  static std::unique_ptr<CInstanceListener> listener_;
};
