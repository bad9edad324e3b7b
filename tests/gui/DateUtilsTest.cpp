#include "DateUtils.h"

#include "SysUtils.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <limits>
#include <string>
#include <type_traits>

namespace {

struct TDateCase {
  int Year, Month, Day;
  double Serial;
};

// Days since 1899-12-30, as an independent calendar counts them.
const TDateCase kDates[] = {
    {1899, 12, 30, 0},      {1899, 12, 31, 1},      {1900, 1, 1, 2},       {1900, 2, 28, 60},
    {1900, 3, 1, 61},       {1970, 1, 1, 25569},    {2000, 1, 1, 36526},   {2000, 2, 29, 36585},
    {2024, 2, 29, 45351},   {2026, 3, 7, 46088},    {1899, 12, 29, -1},    {1600, 2, 29, -109512},
    {1582, 10, 4, -115869}, {1, 1, 1, -693593},     {9999, 12, 31, 2958465},
};

struct TTimeCase {
  int Hour, Minute, Second, Millisecond;
  double Fraction;
};

const TTimeCase kTimes[] = {
    {0, 0, 0, 0, 0.0},
    {0, 0, 0, 1, 1.0 / 86400000},
    {6, 0, 0, 0, 0.25},
    {9, 5, 0, 0, (9 * 60 + 5) / 1440.0},
    {12, 0, 0, 0, 0.5},
    {18, 0, 0, 0, 0.75},
    {23, 59, 59, 999, 86399999.0 / 86400000},
};

std::string DateText(int year, int month, int day)
{
  return std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day);
}

std::string DateOfValue(TDateTime value)
{
  int year = 0, month = 0, day = 0;
  DecodeDate(value, year, month, day);
  return DateText(year, month, day);
}

std::string TimeOfValue(TDateTime value)
{
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  DecodeTime(value, hour, minute, second, millisecond);
  return std::to_string(hour) + ":" + std::to_string(minute) + ":" + std::to_string(second) + "." +
         std::to_string(millisecond);
}

const char* Overload(double) { return "number"; }
const char* Overload(TDateTime) { return "date-time"; }

}  // namespace

TEST(DateTime, IsATypeOfItsOwn)
{
  static_assert(!std::is_convertible_v<double, TDateTime>, "a number must not turn into a date silently");
  static_assert(!std::is_convertible_v<TDateTime, double>, "a date must not turn into a number silently");
  EXPECT_STREQ(Overload(1.5), "number");
  EXPECT_STREQ(Overload(TDateTime(1.5)), "date-time");
  EXPECT_EQ(TDateTime(2.25).Value(), 2.25);
  EXPECT_EQ(TDateTime().Value(), 0.0);
  EXPECT_EQ(TDateTime(3), TDateTime(3.0));
  EXPECT_NE(TDateTime(3), TDateTime(3.5));
  EXPECT_LT(TDateTime(-1), TDateTime(0.5));
}

TEST(DateTime, DatesEncodeAndDecodeBothWays)
{
  for (const TDateCase& test : kDates) {
    const std::string name = DateText(test.Year, test.Month, test.Day);
    EXPECT_EQ(EncodeDate(test.Year, test.Month, test.Day).Value(), test.Serial) << name;
    EXPECT_EQ(DateOfValue(TDateTime(test.Serial)), name);
    // The time of day does not move the date, on either side of 1899-12-30.
    const double later = test.Serial < 0 ? test.Serial - 0.75 : test.Serial + 0.75;
    EXPECT_EQ(DateOfValue(TDateTime(later)), name);
    EXPECT_EQ(TimeOfValue(TDateTime(later)), "18:0:0.0") << name;
  }
}

TEST(DateTime, TimesEncodeAndDecodeBothWays)
{
  for (const TTimeCase& test : kTimes) {
    const std::string name = std::to_string(test.Hour) + ":" + std::to_string(test.Minute) + ":" +
                             std::to_string(test.Second) + "." + std::to_string(test.Millisecond);
    EXPECT_DOUBLE_EQ(EncodeTime(test.Hour, test.Minute, test.Second, test.Millisecond).Value(), test.Fraction)
        << name;
    for (double day : {0.0, 46088.0, -1.0, -693593.0}) {
      const double value = day < 0 ? day - test.Fraction : day + test.Fraction;
      EXPECT_EQ(TimeOfValue(TDateTime(value)), name) << day;
    }
  }
}

TEST(DateTime, InvalidDatesAndTimesRaiseTheConvertError)
{
  const int dates[][3] = {{2023, 2, 29}, {1900, 2, 29}, {2100, 2, 29}, {0, 1, 1},   {10000, 1, 1}, {-5, 1, 1},
                          {2000, 0, 1},  {2000, 13, 1}, {2000, 4, 31}, {2000, 1, 0}, {2000, 1, 32}};
  for (const auto& date : dates) {
    const std::string name = DateText(date[0], date[1], date[2]);
    EXPECT_THROW(EncodeDate(date[0], date[1], date[2]), EConvertError) << name;
    TDateTime untouched(7.5);
    EXPECT_FALSE(TryEncodeDate(date[0], date[1], date[2], untouched)) << name;
    EXPECT_EQ(untouched.Value(), 7.5) << name;
  }
  const int times[][4] = {{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000},
                          {-1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, -1, 0}, {0, 0, 0, -1}};
  for (const auto& time : times) {
    EXPECT_THROW(EncodeTime(time[0], time[1], time[2], time[3]), EConvertError)
        << time[0] << ":" << time[1] << ":" << time[2] << "." << time[3];
    TDateTime untouched(7.5);
    EXPECT_FALSE(TryEncodeTime(time[0], time[1], time[2], time[3], untouched));
    EXPECT_EQ(untouched.Value(), 7.5);
  }
  try {
    EncodeDate(2023, 2, 29);
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& error) {
    EXPECT_EQ(error.Message(), "Invalid argument to date encode");
  }
}

TEST(DateTime, ValuesOutsideTheCalendarRaiseWhenSplit)
{
  const double values[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(), 1e300, -1e300, -693594.0, 2958466.0,
                           2958466.0 - 0.4 / 86400000};  // rounds to the day after the last one
  for (double value : values) {
    int a = 0, b = 0, c = 0, d = 0;
    EXPECT_THROW(DecodeDate(TDateTime(value), a, b, c), EConvertError) << value;
    EXPECT_THROW(DecodeTime(TDateTime(value), a, b, c, d), EConvertError) << value;
    EXPECT_THROW(DateOf(TDateTime(value)), EConvertError) << value;
    EXPECT_THROW(TimeOf(TDateTime(value)), EConvertError) << value;
  }
  // The first and last moments of the calendar still decode.
  EXPECT_EQ(DateOfValue(TDateTime(-693593.999)), "1-1-1");
  EXPECT_EQ(TimeOfValue(TDateTime(2958465.0 + 86399999.0 / 86400000)), "23:59:59.999");
}

TEST(DateTime, EveryDayOfTheCalendarFollowsTheDayBefore)
{
  int year = 1, month = 1, day = 1;
  ASSERT_EQ(DateOfValue(TDateTime(-693593)), "1-1-1");
  for (int serial = -693592; serial <= 2958465; ++serial) {
    // The day after (year, month, day), by the calendar's rules.
    if (day < DaysInMonth(year, month)) {
      ++day;
    } else if (month < 12) {
      ++month;
      day = 1;
    } else {
      ++year;
      month = 1;
      day = 1;
    }
    int y = 0, m = 0, d = 0;
    DecodeDate(TDateTime(serial), y, m, d);
    ASSERT_TRUE(y == year && m == month && d == day) << serial << " decodes as " << DateText(y, m, d);
    ASSERT_EQ(EncodeDate(y, m, d).Value(), serial);
  }
  EXPECT_EQ(DateText(year, month, day), "9999-12-31");
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2000, 13), 0);
}

TEST(DateTime, DateAndTimeRoundToTheSameMillisecond)
{
  // Half a millisecond before midnight already belongs to the next day, in both parts.
  const TDateTime almostMidnight(1.0 - 0.4 / 86400000);
  EXPECT_EQ(DateOfValue(almostMidnight), "1899-12-31");
  EXPECT_EQ(TimeOfValue(almostMidnight), "0:0:0.0");
  EXPECT_EQ(DateOf(almostMidnight).Value(), 1.0);
  EXPECT_EQ(TimeOf(almostMidnight).Value(), 0.0);
  const TDateTime lastMillisecond(1.0 - 0.6 / 86400000);
  EXPECT_EQ(DateOfValue(lastMillisecond), "1899-12-30");
  EXPECT_EQ(TimeOfValue(lastMillisecond), "23:59:59.999");

  // Before 1899-12-30 the time of day is the fraction's magnitude, so the next day is one whole day less
  // negative: -1.9999999999 is the end of 1899-12-29, which rounds to 1899-12-30.
  const TDateTime almostMidnightBefore(-2.0 + 0.4 / 86400000);
  EXPECT_EQ(DateOfValue(almostMidnightBefore), "1899-12-30");
  EXPECT_EQ(TimeOfValue(almostMidnightBefore), "0:0:0.0");
  EXPECT_EQ(DateOf(almostMidnightBefore).Value(), 0.0);
  EXPECT_EQ(TimeOf(almostMidnightBefore).Value(), 0.0);
  EXPECT_EQ(DateOfValue(TDateTime(-1.9999999999)), "1899-12-30");
  const TDateTime lastMillisecondBefore(-2.0 + 0.6 / 86400000);
  EXPECT_EQ(DateOfValue(lastMillisecondBefore), "1899-12-29");
  EXPECT_EQ(TimeOfValue(lastMillisecondBefore), "23:59:59.999");
  EXPECT_EQ(DateOfValue(TDateTime(-0.9999999999)), "1899-12-31") << "-0.x is the day of 0.x";
}

TEST(DateTime, SplittingAndComposingGiveTheSameMoment)
{
  for (double value : {0.0, 0.25, 46088.75, 36526.999, -1.25, -0.5, -693593.5, 2958465.5}) {
    const TDateTime moment(value);
    const TDateTime date = DateOf(moment);
    const TDateTime time = TimeOf(moment);
    EXPECT_EQ(date.Value(), std::trunc(date.Value())) << value;
    EXPECT_GE(time.Value(), 0.0) << value;
    EXPECT_LT(time.Value(), 1.0) << value;
    EXPECT_EQ(DateOfValue(date), DateOfValue(moment)) << value;
    EXPECT_EQ(TimeOfValue(date), "0:0:0.0") << value;
    EXPECT_EQ(TimeOfValue(time), TimeOfValue(moment)) << value;
    const TDateTime again = ComposeDateTime(date, time);
    EXPECT_EQ(DateOfValue(again), DateOfValue(moment)) << value;
    EXPECT_EQ(TimeOfValue(again), TimeOfValue(moment)) << value;
  }
  EXPECT_EQ(ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0)).Value(), -1.25);
  EXPECT_EQ(ComposeDateTime(EncodeDate(2026, 3, 7), EncodeTime(18, 0, 0, 0)).Value(), 46088.75);
}

TEST(DateTime, NowIsTheLocalClock)
{
  auto clock = [] {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return ComposeDateTime(EncodeDate(now.wYear, now.wMonth, now.wDay),
                           EncodeTime(now.wHour, now.wMinute, now.wSecond, now.wMilliseconds));
  };
  const TDateTime before = clock();
  const TDateTime now = Now();
  const TDateTime date = Date();
  const TDateTime time = Time();
  const TDateTime after = clock();
  EXPECT_LE(before, now);
  EXPECT_LE(now, after);
  EXPECT_LE(DateOf(before), date);
  EXPECT_LE(date, DateOf(after));
  EXPECT_EQ(date.Value(), std::trunc(date.Value()));
  EXPECT_GE(time.Value(), 0.0);
  EXPECT_LT(time.Value(), 1.0);
  EXPECT_GT(now.Value(), EncodeDate(2000, 1, 1).Value());
}
