// Starts the accept loop of a cpp-httplib server already bound to its port,
// for the loopback servers of the tests.
//
// cpp-httplib drops a stop() that comes before the accept loop runs, and the
// loop would then never end; so this returns only once the loop runs, or
// false when it has not begun within `wait`.
#pragma once

#include <httplib.h>

#include <chrono>
#include <thread>

namespace testing_support {

inline bool ServeAfterBind(httplib::Server& server, std::thread* thread,
                           std::chrono::milliseconds wait = std::chrono::seconds(10)) {
  *thread = std::thread([&server] { server.listen_after_bind(); });
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (!server.is_running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return server.is_running();
}

}  // namespace testing_support
