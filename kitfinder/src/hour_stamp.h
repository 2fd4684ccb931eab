// Hour stamps (local time as the decimal number YYYYMMDDHH) and the
// freshness rule of cached entries: from 06:00 on, an entry counts when it
// was stored today at or after 06:00; before 06:00, when it was stored at or
// after 06:00 yesterday (by the calendar, across month and year ends). An
// entry stamped later than now never counts. Pure functions.
#ifndef KITFINDER_SRC_HOUR_STAMP_H_
#define KITFINDER_SRC_HOUR_STAMP_H_

#include <cstdint>
#include <ctime>

namespace kitfinder {

int32_t HourStampOf(const std::tm& local);
// The stamp of the local time now.
int32_t HourStampNow();
// 06:00 of the day before the stamp's day.
int32_t YesterdayAtSix(int32_t stamp);
// True when an entry stored at `stored` no longer counts at `now`.
bool IsStampStale(int32_t stored, int32_t now);

}  // namespace kitfinder

#endif  // KITFINDER_SRC_HOUR_STAMP_H_
