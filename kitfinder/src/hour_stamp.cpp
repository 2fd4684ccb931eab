#include "hour_stamp.h"

namespace kitfinder {

namespace {
bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 31;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int32_t MakeStamp(int year, int month, int day, int hour) { return ((year * 100 + month) * 100 + day) * 100 + hour; }
}  // namespace

int32_t HourStampOf(const std::tm& local) {
  return MakeStamp(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour);
}

int32_t HourStampNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return HourStampOf(local);
}

int32_t YesterdayAtSix(int32_t stamp) {
  int year = stamp / 1000000;
  int month = stamp / 10000 % 100;
  int day = stamp / 100 % 100 - 1;
  if (day < 1) {
    if (--month < 1) {
      month = 12;
      --year;
    }
    day = DaysInMonth(year, month);
  }
  return MakeStamp(year, month, day, 6);
}

bool IsStampStale(int32_t stored, int32_t now) {
  if (stored > now) return true;
  const int32_t today_six = now / 100 * 100 + 6;
  const int32_t oldest = now >= today_six ? today_six : YesterdayAtSix(now);
  return stored < oldest;
}

}  // namespace kitfinder
