// The pure parts of kitfinder: freshness by the calendar, the ID texts, the
// matched-IDs buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hour_stamp.h"
#include "id_text.h"

namespace kitfinder {
namespace {

TEST(HourStampTest, FreshnessFollowsTheCalendar) {
  struct Case {
    int32_t stored, now;
    bool stale;
  } cases[] = {
      {2014071222, 2014071305, false},  // 05:59 the next morning: yesterday 22:00 still counts
      {2014071222, 2014071306, true},   // 06:00: only today from 06:00 counts
      {2014071306, 2014071405, false},  // stays fresh until 06:00 the next day
      {2014071306, 2014071406, true},
      {2014071205, 2014071305, true},  // before yesterday 06:00
      {2014071206, 2014071305, false},
      {2014063008, 2014070103, false},  // month end
      {2014063005, 2014070103, true},
      {2013123123, 2014010100, false},  // year end; the stamps jump by far more than one
      {2013123105, 2014010100, true},
      {2016022910, 2016030102, false},  // leap day
      {2015022810, 2015030102, false},
      {2014071310, 2014071309, true},  // a stamp later than now
      {0, 2014071309, true},
      {2004071310, 2014071302, true},  // long past: never fresh again
  };
  for (const Case& c : cases) EXPECT_EQ(IsStampStale(c.stored, c.now), c.stale) << c.stored << " at " << c.now;
  EXPECT_EQ(YesterdayAtSix(2014010100), 2013123106);
  EXPECT_EQ(YesterdayAtSix(2016030105), 2016022906);
}

TEST(IdTextTest, DeviceIdTextReadsEveryItemAndAlwaysMovesOn) {
  struct Case {
    std::u16string text;
    std::vector<int32_t> ids;
  } cases[] = {
      {u"12,0,345", {12, 0, 345}}, {u"", {}},      {u"7", {7}}, {u"12,", {12}}, {u"abc,5", {0, 5}},
      {u"0x10,010", {16, 8}},      {u" -3", {-3}},
  };
  for (const Case& c : cases) {
    int32_t ids[8] = {};
    const int n = AnalyzeIds(c.text.c_str(), c.text.size() + 1, ids, 8);
    EXPECT_EQ(std::vector<int32_t>(ids, ids + n), c.ids) << std::string(c.text.begin(), c.text.end());
  }
  const int32_t round[] = {12, 0, 345};
  EXPECT_EQ(DeviceIdText(round, 3), u"12,0,345");
  std::vector<int32_t> many(100, 1234567);
  EXPECT_EQ(DeviceIdText(many.data(), 100).size(), 255u);  // 32 whole IDs, never a part of one
}

TEST(IdTextTest, SetupPrefixIsReadOrLeftAlone) {
  struct Case {
    std::u16string text;
    bool present;
    std::vector<int32_t> ids;
    std::u16string rest;
  } cases[] = {
      {u"<12,15>rest", true, {12, 15}, u"rest"},
      {u"<>rest", true, {}, u"rest"},
      {u"<12,x,,15>", true, {12, 15}, u""},
      {u"<12,15", false, {}, u""},  // not closed: no prefix, and the reading ends
      {u"<<<<", false, {}, u""},
      {u"plain", false, {}, u""},
  };
  for (const Case& c : cases) {
    const SetupPrefix p = ParseSetupPrefix(c.text.c_str(), c.text.size() + 1);
    EXPECT_EQ(p.present, c.present) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(p.ids, c.ids);
    EXPECT_EQ(p.rest, c.rest);
  }
}

TEST(IdTextTest, MatchedIdsStopAtAWholeEntryInsideTheCapacity) {
  for (size_t capacity : {0u, 1u, 2u, 5u, 9u, 10u, 11u, 64u}) {
    std::vector<char16_t> buffer(capacity + 4, u'#');
    MatchedIdsWriter w(buffer.data(), capacity, 2);
    for (int i = 0; i < 5; ++i) w.AddId(u"ID" + std::u16string(1, static_cast<char16_t>(u'0' + i)));
    w.CloseGroup();
    w.AddId(u"LAST");
    w.CloseGroup();
    w.Finish();
    for (size_t i = capacity; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], u'#') << "overrun at " << capacity;
    if (capacity < 2) continue;
    // The written part parses: whole IDs, groups closed, then the final empty string.
    std::vector<std::u16string> read;
    size_t i = 0;
    while (i < capacity && buffer[i]) {
      std::u16string id(buffer.data() + i);
      read.push_back(id);
      i += id.size() + 1;
    }
    ASSERT_LT(i, capacity);
    for (const auto& id : read) EXPECT_TRUE(id.size() == 3 && id.substr(0, 2) == u"ID") << capacity;
    EXPECT_EQ(w.cut(), capacity < 64u);
  }
}

}  // namespace
}  // namespace kitfinder
