// The shape every page controller of the main window has: built with the
// window's paint manager; an initialisation once the window's controls
// exist; a show step; a click handler; a message handler that sets the
// handled flag for its own numbers and clears it for all others; a clear
// step for when the phone is removed.
//
// CPageStub is that shape with no view behind it: it claims its own message
// numbers (so the main window's dispatch already reaches the right owner)
// and records what reached it. Each page's real controller replaces its
// stub header when it is built. UI thread only.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "qenui/UIlib.h"

class CPageStub {
 public:
  using Range = std::pair<uint32_t, uint32_t>;  // first and last number, inclusive

  CPageStub(DuiLib::CPaintManagerUI* pm, std::vector<Range> ranges) : pm_(pm), ranges_(std::move(ranges)) {}
  virtual ~CPageStub() = default;

  virtual void Init() { ++inits_; }
  virtual void Show() { ++shows_; }
  virtual void OnClick(DuiLib::TNotifyUI&) {}
  virtual void Clear() { ++clears_; }
  virtual DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam,
                                        bool& bHandled) {
    ++offered_;
    bHandled = Owns(uMsg);
    if (bHandled) {
      received_.push_back(uMsg);
      Consume(uMsg, wParam, lParam);
    }
    return 0;
  }

  bool Owns(uint32_t message) const {
    for (const Range& r : ranges_)
      if (message >= r.first && message <= r.second) return true;
    return false;
  }

  // What reached this controller (tests).
  const std::vector<uint32_t>& Received() const { return received_; }
  // How many messages were offered, taken or not (tests).
  int Offered() const { return offered_; }
  int Inits() const { return inits_; }
  int Shows() const { return shows_; }
  int Clears() const { return clears_; }

 protected:
  // Frees what a handled message carries (the receiver owns it).
  virtual void Consume(uint32_t, DuiLib::WPARAM, DuiLib::LPARAM) {}

  DuiLib::CPaintManagerUI* pm_;

 private:
  std::vector<Range> ranges_;
  std::vector<uint32_t> received_;
  int offered_ = 0;
  int inits_ = 0;
  int shows_ = 0;
  int clears_ = 0;
};
