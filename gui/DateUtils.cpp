#include "DateUtils.h"

#include "SysUtils.h"

#include <windows.h>

#include <cmath>
#include <cstdint>

namespace {

constexpr int64_t kMsPerDay = 86400000;
const char kInvalidDate[] = "Invalid argument to date encode";
const char kInvalidTime[] = "Invalid argument to time encode";

// Days from 1899-12-30 to a date of the proleptic Gregorian calendar, counted in 400-year eras so that
// every date of the range is one short calculation.
constexpr int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day)
{
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468 + 25569;  // 1970-01-01 is day 25569
}

void CivilFromDays(int64_t days, int& year, int& month, int& day)
{
  const int64_t z = days - 25569 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

constexpr int64_t kFirstDay = DaysFromCivil(kMinDateTimeYear, 1, 1);
constexpr int64_t kLastDay = DaysFromCivil(kMaxDateTimeYear, 12, 31);

// A value as whole days and milliseconds of the day, both from one rounding, so that the date and the
// time of day always agree.
struct TStamp {
  int64_t Days = 0;
  int64_t Milliseconds = 0;
};

TStamp ToStamp(TDateTime value)
{
  const double v = value.Value();
  // Checked before rounding, so that no huge value reaches the integer conversion.
  if (!std::isfinite(v) || v <= static_cast<double>(kFirstDay - 1) || v >= static_cast<double>(kLastDay + 1))
    throw EConvertError(Format("Invalid date and time value %g", v));
  // The date part of a negative value is its whole part and the time its fraction's magnitude, so the
  // two are split before rounding: a time that rounds up to midnight moves the date one day on, which
  // for a negative whole part is towards zero.
  const double whole = std::trunc(v);
  TStamp stamp;
  stamp.Days = static_cast<int64_t>(whole);
  stamp.Milliseconds = std::llround(std::fabs(v - whole) * static_cast<double>(kMsPerDay));
  if (stamp.Milliseconds == kMsPerDay) {
    stamp.Days += 1;
    stamp.Milliseconds = 0;
  }
  if (stamp.Days < kFirstDay || stamp.Days > kLastDay)
    throw EConvertError(Format("Invalid date and time value %g", v));
  return stamp;
}

}  // namespace

bool IsLeapYear(int year)
{
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month)
{
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12)
    return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result)
{
  if (year < kMinDateTimeYear || year > kMaxDateTimeYear || day < 1 || day > DaysInMonth(year, month))
    return false;
  result = TDateTime(static_cast<double>(DaysFromCivil(year, month, day)));
  return true;
}

TDateTime EncodeDate(int year, int month, int day)
{
  TDateTime result;
  if (!TryEncodeDate(year, month, day, result))
    throw EConvertError(kInvalidDate);
  return result;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result)
{
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999)
    return false;
  const int64_t ms = ((int64_t{hour} * 60 + minute) * 60 + second) * 1000 + millisecond;
  result = TDateTime(static_cast<double>(ms) / static_cast<double>(kMsPerDay));
  return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond)
{
  TDateTime result;
  if (!TryEncodeTime(hour, minute, second, millisecond, result))
    throw EConvertError(kInvalidTime);
  return result;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day)
{
  CivilFromDays(ToStamp(value).Days, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond)
{
  const int64_t ms = ToStamp(value).Milliseconds;
  hour = static_cast<int>(ms / 3600000);
  minute = static_cast<int>(ms / 60000 % 60);
  second = static_cast<int>(ms / 1000 % 60);
  millisecond = static_cast<int>(ms % 1000);
}

TDateTime DateOf(TDateTime value)
{
  return TDateTime(static_cast<double>(ToStamp(value).Days));
}

TDateTime TimeOf(TDateTime value)
{
  return TDateTime(static_cast<double>(ToStamp(value).Milliseconds) / static_cast<double>(kMsPerDay));
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time)
{
  const double days = std::trunc(date.Value());
  const double fraction = std::fabs(time.Value() - std::trunc(time.Value()));
  return TDateTime(days < 0 ? days - fraction : days + fraction);
}

TDateTime Now()
{
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return ComposeDateTime(EncodeDate(now.wYear, now.wMonth, now.wDay),
                         EncodeTime(now.wHour, now.wMinute, now.wSecond, now.wMilliseconds));
}

TDateTime Date()
{
  return DateOf(Now());
}

TDateTime Time()
{
  return TimeOf(Now());
}
