// The simulated phone for the data e2e tests: started with its agent and
// FTP ports forwarded through the real adb, and the program pointed at them.
#pragma once

#include <stdlib.h>

#include <string>
#include <vector>

#include "app/adb/tests/phone_sim_process.h"
#include "foundation/base/code_page.h"

namespace data_test {

// The simulator with its agent ports forwarded, the program pointed at it.
class SimPhone {
 public:
  bool Start(std::vector<std::string> flags = {}) {
    unsetenv("PHONEDECK_ADB");
    flags.push_back("--forward");
    if (!sim.Start(flags)) return false;
    sim.ExportForwardedPorts();
    return true;
  }
  std::u16string Serial() const { return AnsiToWString(sim.Field("serial")); }
  bool Fault(const std::string& spec) { return sim.Control("fault " + spec).rfind("OK", 0) == 0; }
  bool Clear() { return sim.Control("clear").rfind("OK", 0) == 0; }
  // The commands the agent answered, in order of arrival.
  std::string Requests() { return sim.Control("requests"); }

  testing_support::PhoneSim sim;
};

}  // namespace data_test
