// CBaseResponse: what every phone data manager is to the agent transport.
// A reply reaches the manager that sent the command through OnResponse;
// the manager owns the package from then on and deletes it.
//
// Locks: the data lock guards the manager's records (held while a reply is
// parsed or a page reads them); the flag lock guards the busy flag only, so
// the flag can be read while a parser holds the data lock.
//
// The phone data managers derive from CDataMgr (app/data/data_mgr.h), which
// implements OnResponse once for all of them and states the two rules they
// keep: a failed reply always clears the busy flag and tells the page, and
// pages get copies of records, never pointers into a list a reply rebuilds.
#pragma once

#include "foundation/base/locks.h"

struct CmdResponse;

class CBaseResponse {
 public:
  CBaseResponse() = default;
  virtual ~CBaseResponse() = default;
  CBaseResponse(const CBaseResponse&) = delete;
  CBaseResponse& operator=(const CBaseResponse&) = delete;

  // Called on the thread that ran the command (a socket thread for
  // asynchronous commands, the caller for synchronous ones).
  virtual void OnResponse(CmdResponse& response) = 0;

  bool IsBusy() {
    base::CSingleLock hold(&flag_lock_);
    return busy_;
  }
  void SetBusy(bool busy) {
    base::CSingleLock hold(&flag_lock_);
    busy_ = busy;
  }
  // Sets the flag unless it is set already, in one step: of two threads
  // asking at once, one gets true.
  bool TrySetBusy() {
    base::CSingleLock hold(&flag_lock_);
    if (busy_) return false;
    busy_ = true;
    return true;
  }
  base::CCriticalSection& DataLock() { return data_lock_; }

 private:
  base::CCriticalSection data_lock_;
  bool busy_ = false;
  base::CCriticalSection flag_lock_;
};
