// CStartGate: requests that come while a service is still starting wait
// here, in their order, and are carried out once its start has ended; from
// then on requests run at once on their caller's thread. Nobody waits:
// keeping a request only stores it.
//
// Threading: any thread. lock_ guards the fields below it and is never held
// while a request runs. The kept requests run on the thread that opens the
// gate; a request that comes while they run is kept behind them, so the
// order of arrival is the order of effects.
#pragma once

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CStartGate {
 public:
  // True when the request (`what`, for the log) was kept: the start has not
  // ended (or it never will: the gate was shut, and the request is dropped).
  // False: the caller runs it now (also on the thread carrying out the kept
  // requests).
  bool Keep(const char* what, std::function<void()> request);
  // The start has ended: runs the kept requests in order on this thread,
  // then lets later requests run at once.
  void Open();
  // Teardown: what is kept is dropped, and so is whatever comes later
  // unless the gate is open.
  void Shut();
  bool IsOpen();

 private:
  std::mutex lock_;
  bool open_ = false;
  bool shut_ = false;
  std::thread::id opening_;  // the thread carrying out the kept requests
  std::vector<std::function<void()>> kept_;
};
