// The search service simulator is strict: what the service would not
// accept is recorded as an error and gets no answer.
#include "search_sim.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using searchsim::Bytes;

TEST(SearchServiceSim, RefusesWhatTheServiceWouldNot) {
  searchsim::SearchServiceSim sim;
  ASSERT_TRUE(sim.Start());
  struct Case {
    const char* name;
    uint8_t service;
    Bytes packet;
    const char* error;
  } cases[] = {
      {"unknown command", 21, {0x77, 0}, "unknown command 119/0 on service 21"},
      {"known command on the wrong service",
       22,
       {0x0A, 1, 1, 0, 0, 0, 2, 0, 0, 0},
       "unknown command 10/1 on service 22"},
      {"wrong sub-command", 21, {0x0A, 0, 1, 0, 0, 0, 2, 0, 0, 0}, "unknown command 10/0 on service 21"},
      {"short packet", 21, {0x0A, 1, 1, 0, 0}, "short packet: command 10"},
      {"trailing byte", 21, {0x0A, 1, 1, 0, 0, 0, 2, 0, 0, 0, 9}, "trailing bytes: command 10"},
      {"string past the end", 21, {0x16, 0, 1, 5, 0, 'a'}, "short packet: command 22"},
      {"one byte", 6, {0x54}, "short packet on service 6"},
  };
  for (const Case& c : cases) {
    sim.Clear();
    Bytes reply;
    EXPECT_FALSE(sim.Answer(c.service, c.packet, &reply)) << c.name;
    EXPECT_EQ(std::vector<std::string>{c.error}, sim.Errors()) << c.name;
  }
  sim.Clear();
  Bytes reply;
  ASSERT_TRUE(sim.Answer(21, {0x0A, 1, 0x29, 0x23, 0, 0, 2, 0, 0, 0}, &reply));  // driver 9001
  EXPECT_EQ(0x0B, reply.at(0));
  EXPECT_TRUE(sim.Errors().empty());
  sim.Stop();
}

}  // namespace
