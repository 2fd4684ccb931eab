// CShotcutThread: takes one screenshot of the phone in the background
// (started by the phone front object right after it is set up, and again
// for later screenshots when it is not running).
//
// Threading: SetPath by the owner while the thread is not running; the
// phone object outlives the thread (it owns it).
#pragma once

#include <string>

#include "foundation/base/win_thread.h"

class IPhone;

class CShotcutThread : public base::WinThread {
 public:
  explicit CShotcutThread(IPhone* phone);
  ~CShotcutThread() override;

  void SetPath(const std::u16string& path) { path_ = path; }

 protected:
  void Run() override;

 private:
  IPhone* phone_;  // not owned
  std::u16string path_;
};
