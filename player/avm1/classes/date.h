// Date objects and the time arithmetic behind them: milliseconds since 1970 UTC in a double,
// calendar fields computed the way the reference player computes them (including what it
// gives for times far out of range), local time from the C library's zone.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "avm1/machine.h"

namespace quillon::player::avm1 {

class DateObject : public Object {
 public:
  DateObject(Machine& vm, double t) : Object(vm), time(t) {}
  std::string_view ClassName() const override { return "Date"; }
  bool PrimitiveValue(Value& out) const override {
    out = Value::Num(time);
    return true;
  }

  double time;
};

// What `new Date()` and `Date()` read, in milliseconds since 1970 UTC. The reference-case
// runner and tests pin it; an empty function goes back to the system clock.
void SetWallClock(std::function<double()> clock);
double WallClockNow();

namespace datetime {

inline constexpr double kMsPerDay = 86400000;

// The calendar fields of a time (UTC, or local when given a local time). For infinite times the
// fields are the saturated integers the reference player shows; callers answer NaN themselves
// for a NaN time.
struct Fields {
  std::int64_t year = 0;
  std::int64_t month = 0;  // 0-11
  std::int64_t date = 0;   // 1-31
  std::int64_t weekday = 0;
  std::int64_t hours = 0, minutes = 0, seconds = 0, ms = 0;
};
Fields Split(double t);

// The zone's offset from UTC at the UTC time t, in milliseconds (east positive).
double LocalOffset(double t);
double LocalTime(double t);
double UtcFromLocal(double local);

double MakeTime(double hours, double minutes, double seconds, double ms);
double MakeDay(double year, double month, double date);
double MakeDate(double day, double time);
double TimeClip(double t);
// Truncation to a 32-bit integer as the reference player's machine code does it: NaN,
// infinities and anything out of range give INT32_MIN.
std::int32_t TruncInt32(double d);

// "Wed Jan 1 00:00:00 GMT+0000 2003" in local time, "Invalid Date" for a time that is not finite.
std::string Format(double t);

}  // namespace datetime
}  // namespace quillon::player::avm1
