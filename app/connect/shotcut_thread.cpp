#include "app/connect/shotcut_thread.h"

#include "app/connect/phone_seams.h"
#include "foundation/base/log.h"

CShotcutThread::CShotcutThread(IPhone* phone) : base::WinThread(u"shotcut_thread"), phone_(phone) {}

CShotcutThread::~CShotcutThread() { Stop(); }

void CShotcutThread::Run() {
  PD_LOG_TRACE("ShotcutThread start! ");
  if (phone_ != nullptr) phone_->GetScreenShot(path_.empty() ? nullptr : path_.c_str());
  path_.clear();
  PD_LOG_TRACE("ShotcutThread end! ");
}
