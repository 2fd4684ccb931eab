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
// A lock file that exists but cannot be opened (another user's, as a run
// under sudo leaves it) does not mean that a copy runs: the socket is then
// asked, and with no live instance on it the user's own lock
// <runtime>/<mutex name>-<uid>.lock is used instead.
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
  // 35768 with wParam 100 - and also when no lock can be had at all (no
  // usable runtime folder, neither lock file can be opened or locked):
  // logged with the folder or file and the error, and kept as Refusal().
  static bool Check(const char16_t* mutex_name, const char16_t* window_class, const char16_t* window_name,
                    bool restore);
  // Why the last Check could not start this copy at all; empty when it
  // found the only instance or another running one.
  static std::string Refusal();
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
  static std::string PrivateLockPath(const char16_t* mutex_name);
  static std::string SocketPath(const char16_t* window_class);

  // Sends `message` lines to a running first instance as a second start
  // does; false when none listens or it does not answer in time.
  static bool SendToRunningInstance(const char16_t* window_class, const std::string& lines);

 private:
  // The runtime folder, or empty with the reason in `why`.
  static std::string UsableRuntimeDir(std::string* why);
  // Probes the running instance (and wakes it with `restore`); true when it answered.
  static bool WakeRunningInstance(const char16_t* window_class, bool restore);

  static int lock_fd_;
  static std::unique_ptr<CInstanceListener> listener_;
  static std::string refusal_;
};
