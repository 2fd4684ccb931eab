// The start gate: requests kept during a start run once, in their order of
// arrival, on the thread that opens the gate; nothing waits, nothing is lost
// unless teardown drops it.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "app/task/start_gate.h"

namespace {

class Record {
 public:
  std::function<void()> Of(int n) {
    return [this, n] { Add(n); };
  }
  void Add(int n) {
    std::lock_guard<std::mutex> hold(lock_);
    done_.push_back(n);
  }
  std::vector<int> Done() {
    std::lock_guard<std::mutex> hold(lock_);
    return done_;
  }

 private:
  std::mutex lock_;
  std::vector<int> done_;
};

TEST(StartGate, KeptRequestsRunInOrderOnOpenLaterOnesAtOnce) {
  CStartGate gate;
  Record record;
  EXPECT_TRUE(gate.Keep("one", record.Of(1)));
  EXPECT_TRUE(gate.Keep("two", record.Of(2)));
  EXPECT_TRUE(record.Done().empty());
  EXPECT_FALSE(gate.IsOpen());
  gate.Open();
  EXPECT_EQ(record.Done(), (std::vector<int>{1, 2}));
  EXPECT_TRUE(gate.IsOpen());
  EXPECT_FALSE(gate.Keep("three", record.Of(3)));  // the caller runs it
  EXPECT_EQ(record.Done(), (std::vector<int>{1, 2}));
}

// A request made by a kept request runs in place; one that another thread
// makes while the kept ones run waits behind them, not beside them.
TEST(StartGate, RequestsMadeWhileTheKeptOnesRunKeepTheOrderOfArrival) {
  CStartGate gate;
  Record record;
  std::mutex lock;
  std::condition_variable changed;
  bool running = false, go = false;
  gate.Keep("first", [&] {
    record.Add(1);
    EXPECT_FALSE(gate.Keep("made by the first", record.Of(2)));
    record.Add(2);
    std::unique_lock<std::mutex> hold(lock);
    running = true;
    changed.notify_all();
    changed.wait(hold, [&] { return go; });
  });
  gate.Keep("second", record.Of(3));
  std::thread opener([&] { gate.Open(); });
  {
    std::unique_lock<std::mutex> hold(lock);
    changed.wait(hold, [&] { return running; });
  }
  EXPECT_TRUE(gate.Keep("from another thread", record.Of(4)));
  EXPECT_FALSE(gate.IsOpen());
  {
    std::lock_guard<std::mutex> hold(lock);
    go = true;
  }
  changed.notify_all();
  opener.join();
  EXPECT_EQ(record.Done(), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_TRUE(gate.IsOpen());
}

TEST(StartGate, TeardownDropsWhatAStartThatNeverEndedKept) {
  CStartGate gate;
  Record record;
  gate.Keep("kept", record.Of(1));
  gate.Shut();
  EXPECT_TRUE(gate.Keep("late", record.Of(2)));  // dropped, not run by the caller
  gate.Open();
  EXPECT_TRUE(record.Done().empty());
  EXPECT_FALSE(gate.IsOpen());

  CStartGate open;
  open.Open();
  open.Shut();
  EXPECT_FALSE(open.Keep("after a finished start", record.Of(3)));  // still runs at once
}

}  // namespace
