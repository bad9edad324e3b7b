#pragma once
// Dates and times as the framework counts them: days since 1899-12-30, the time of day as the fraction.
#include <compare>

// A point in time: whole days since 1899-12-30 plus the elapsed part of the day. Before that date the
// whole part is negative and the time of day is the fraction's magnitude: -1.25 is 1899-12-29 06:00.
// A type of its own, so that an operation can be offered for a number and for a date-time side by side.
class TDateTime {
public:
  constexpr TDateTime() = default;
  constexpr explicit TDateTime(double value) : m_value(value) {}

  constexpr double Value() const { return m_value; }

  constexpr bool operator==(const TDateTime&) const = default;
  constexpr auto operator<=>(const TDateTime&) const = default;

private:
  double m_value = 0;
};

// Dates from 0001-01-01 to 9999-12-31 can be encoded and decoded; anything else raises EConvertError.
constexpr int kMinDateTimeYear = 1;
constexpr int kMaxDateTimeYear = 9999;

bool IsLeapYear(int year);
// Days of the month; 0 for a month outside 1..12.
int DaysInMonth(int year, int month);

// The date at midnight. An invalid date raises EConvertError; the Try form reports it as false and leaves
// `result` alone.
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
// The time of day as a fraction of a day: hour 0..23, minute and second 0..59, millisecond 0..999.
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result);

// The calendar date and the time of day of a value, to the nearest millisecond (a value within half a
// millisecond of midnight belongs to the next day). A value outside the encodable dates, infinities and
// NaN raise EConvertError.
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond);

// The two parts of a value: its date at midnight and its time of day (0 <= time < 1), each to the
// millisecond as DecodeDate and DecodeTime see them. ComposeDateTime puts them together again, also for
// dates before 1899-12-30. Values outside the encodable dates raise EConvertError.
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// The current local date and time; its date part; its time of day.
TDateTime Now();
TDateTime Date();
TDateTime Time();
