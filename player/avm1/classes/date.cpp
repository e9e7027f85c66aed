// The Date class: construction from a clock, a time or calendar fields, Date.UTC, and the
// prototype's getters, setters and string form. The reference player keeps out-of-range
// times that construction makes (only the setters clip), and its integer conversions
// saturate to INT32_MIN, which shows in the fields of such times.
#include "avm1/classes/date.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <utility>

namespace quillon::player::avm1 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMsPerHour = 3600000;
constexpr double kMsPerMinute = 60000;
constexpr double kMaxTime = 8.64e15;

std::function<double()>& ClockOverride() {
  static std::function<double()> clock;
  return clock;
}

// ECMAScript's ToInteger, keeping NaN and the infinities for the arithmetic to carry along.
double Integer(double d) { return std::isfinite(d) ? std::trunc(d) : d; }

double Modulo(double a, double b) {
  const double r = std::fmod(a, b);
  return r < 0 ? r + b : r;
}

double Day(double t) { return std::floor(t / datetime::kMsPerDay); }

double DayFromYear(double y) {
  return 365 * (y - 1970) + std::floor((y - 1969) / 4) - std::floor((y - 1901) / 100) + std::floor((y - 1601) / 400);
}

bool IsLeap(double y) {
  if (std::fmod(y, 4) != 0) return false;
  if (std::fmod(y, 100) != 0) return true;
  return std::fmod(y, 400) == 0;
}

double TimeFromYear(double y) { return datetime::kMsPerDay * DayFromYear(y); }

double YearFromTime(double t) {
  double y = std::floor(t / (datetime::kMsPerDay * 365.2425)) + 1970;
  // The average-year guess is off by at most one; the bound keeps huge years (where y - 1 == y)
  // from looping.
  for (int i = 0; i < 4 && TimeFromYear(y) > t; ++i) y -= 1;
  for (int i = 0; i < 4 && TimeFromYear(y + 1) <= t; ++i) y += 1;
  return y;
}

constexpr std::array<int, 13> kMonthStart = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

double DayOfYearOfMonth(double month, bool leap) {
  const auto m = static_cast<std::size_t>(std::clamp(month, 0.0, 12.0));
  return kMonthStart[m] + (leap && m >= 2 ? 1 : 0);
}

// A field below zero after the saturating conversion is brought up by one period, as the
// reference player does (so INT32_MIN becomes INT32_MIN + period).
std::int64_t Wrapped(double remainder, std::int64_t period) {
  const std::int64_t r = datetime::TruncInt32(remainder);
  return r < 0 ? r + period : r;
}

bool LocalTm(std::time_t when, std::tm& out) {
#ifdef _WIN32
  return localtime_s(&out, &when) == 0;
#else
  return localtime_r(&when, &out) != nullptr;
#endif
}

double CivilSeconds(const std::tm& tm) {
  const double year = tm.tm_year + 1900.0;
  const double day = DayFromYear(year) + DayOfYearOfMonth(std::clamp(tm.tm_mon, 0, 11), IsLeap(year)) + tm.tm_mday - 1;
  return day * 86400 + tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec;
}

double OffsetSeconds(double seconds) {
  // Past the valid time range (and past a 32-bit time_t) the zone is taken as at the edge.
  constexpr double lo = std::max(-8.64e12, static_cast<double>(std::numeric_limits<std::time_t>::min()));
  constexpr double hi = std::min(8.64e12, static_cast<double>(std::numeric_limits<std::time_t>::max() - 1));
  const double s = std::clamp(seconds, lo, hi);
  auto when = static_cast<std::time_t>(s);
  std::tm tm{};
  if (!LocalTm(when, tm)) {
    // Some C libraries know only 1970 to 3000; outside, the zone is taken as it is at the edge.
    when = static_cast<std::time_t>(std::clamp(s, 172800.0, 32503593600.0));
    if (!LocalTm(when, tm)) return 0;
  }
  return CivilSeconds(tm) - static_cast<double>(when);
}

// ---- the class ----

DateObject* ThisDate(const Call& c) { return dynamic_cast<DateObject*>(c.This()); }

double IntegerArg(Call& c, std::size_t i) { return Integer(c.vm.ToNumber(c.Arg(i))); }

// Calendar fields as `new Date(y, m, ...)` and Date.UTC take them; a year below 100 is 1900 on.
double TimeFromFields(Call& c) {
  const double year = c.vm.ToNumber(c.Arg(0));
  std::array<double, 6> rest = {0, 1, 0, 0, 0, 0};
  for (std::size_t i = 0; i < rest.size() && i + 1 < c.Count(); ++i) rest[i] = IntegerArg(c, i + 1);
  const double y = datetime::TruncInt32(year < 100 ? year + 1900 : year);
  return datetime::MakeDate(datetime::MakeDay(y, rest[0], rest[1]), datetime::MakeTime(rest[2], rest[3], rest[4], rest[5]));
}

double TimeFromArgs(Call& c) {
  if (c.Count() == 0) return WallClockNow();
  if (c.Count() == 1) return c.vm.ToNumber(c.Arg(0));
  return datetime::UtcFromLocal(TimeFromFields(c));
}

// `new` hands the constructor a fresh object; the date takes over its prototype link and what
// else the machine put on it.
void TakeOver(Call& c, Object* made) {
  if (Object* shell = c.This()) {
    shell->ForEachOwn([&](const std::string& name, const Property& p) { made->Define(name, p.value, p.flags); });
  } else {
    made->SetProto(c.vm.dateProto);
  }
}

enum Field : int { kYear, kMonth, kDate, kHours, kMinutes, kSeconds, kMs };

std::array<double, 7> FieldArray(double t) {
  const datetime::Fields f = datetime::Split(t);
  return {static_cast<double>(f.year),  static_cast<double>(f.month),   static_cast<double>(f.date),
          static_cast<double>(f.hours), static_cast<double>(f.minutes), static_cast<double>(f.seconds),
          static_cast<double>(f.ms)};
}

// How each setter turns its arguments into numbers; the reference player differs per method.
enum class Conversion {
  kInteger,     // NaN stays NaN and spoils the date
  kMonth,       // a NaN month is January
  kSaturating,  // NaN and infinities become INT32_MIN (the minutes setters)
  kShortYear,   // setYear: 0-99 are 1900-1999
};

double Convert(Call& c, std::size_t i, Conversion how, bool first) {
  const double n = c.vm.ToNumber(c.Arg(i));
  switch (how) {
    case Conversion::kInteger: return Integer(n);
    case Conversion::kMonth: return first && std::isnan(n) ? 0 : Integer(n);
    case Conversion::kSaturating: return datetime::TruncInt32(n);
    case Conversion::kShortYear: {
      const double y = Integer(n);
      return first && y >= 0 && y < 100 ? y + 1900 : y;
    }
  }
  return n;
}

// A setter replaces fields from `first` on, one per argument given (at least one, missing
// counting as undefined), keeping the others; the result is clipped to the valid range.
NativeFn Setter(Field first, int maxArgs, bool utc, Conversion how) {
  return [=](Call& c) -> Value {
    DateObject* d = ThisDate(c);
    if (!d) return {};
    const std::size_t given = std::clamp<std::size_t>(c.Count(), 1, static_cast<std::size_t>(maxArgs));
    std::array<double, 7> values{};
    for (std::size_t i = 0; i < given; ++i) values[i] = Convert(c, i, how, i == 0);
    const double t = d->time;
    if (!std::isfinite(t)) {
      d->time = kNaN;
      return Value::Num(kNaN);
    }
    const double base = utc ? t : datetime::LocalTime(t);
    std::array<double, 7> f = FieldArray(base);
    for (std::size_t i = 0; i < given; ++i) f[static_cast<std::size_t>(first) + i] = values[i];
    double day, time;
    if (first <= kDate) {
      day = datetime::MakeDay(f[kYear], f[kMonth], f[kDate]);
      time = Modulo(base, datetime::kMsPerDay);
    } else {
      day = Day(base);
      time = datetime::MakeTime(f[kHours], f[kMinutes], f[kSeconds], f[kMs]);
    }
    const double made = datetime::MakeDate(day, time);
    d->time = datetime::TimeClip(utc ? made : datetime::UtcFromLocal(made));
    return Value::Num(d->time);
  };
}

NativeFn Getter(Field field, bool utc) {
  return [=](Call& c) -> Value {
    const DateObject* d = ThisDate(c);
    if (!d) return {};
    if (std::isnan(d->time)) return Value::Num(kNaN);
    return Value::Num(FieldArray(utc ? d->time : datetime::LocalTime(d->time))[static_cast<std::size_t>(field)]);
  };
}

// getYear and getDay are not plain fields.
NativeFn YearGetter(bool utc) {
  return [=](Call& c) -> Value {
    const DateObject* d = ThisDate(c);
    if (!d) return {};
    if (std::isnan(d->time)) return Value::Num(kNaN);
    return Value::Num(static_cast<double>(datetime::Split(utc ? d->time : datetime::LocalTime(d->time)).year - 1900));
  };
}

NativeFn DayGetter(bool utc) {
  return [=](Call& c) -> Value {
    const DateObject* d = ThisDate(c);
    if (!d) return {};
    if (std::isnan(d->time)) return Value::Num(kNaN);
    return Value::Num(static_cast<double>(datetime::Split(utc ? d->time : datetime::LocalTime(d->time)).weekday));
  };
}

void InstallPrototype(Object* proto) {
  Machine& vm = proto->vm();
  struct Named {
    const char* local;
    const char* utc;
    Field field;
  };
  static constexpr Named kFields[] = {
      {"getFullYear", "getUTCFullYear", kYear},     {"getMonth", "getUTCMonth", kMonth},
      {"getDate", "getUTCDate", kDate},             {"getHours", "getUTCHours", kHours},
      {"getMinutes", "getUTCMinutes", kMinutes},    {"getSeconds", "getUTCSeconds", kSeconds},
      {"getMilliseconds", "getUTCMilliseconds", kMs},
  };
  for (const Named& n : kFields) {
    proto->DefineNative(n.local, Getter(n.field, false));
    proto->DefineNative(n.utc, Getter(n.field, true));
  }
  proto->DefineNative("getYear", YearGetter(false));
  proto->DefineNative("getUTCYear", YearGetter(true));
  proto->DefineNative("getDay", DayGetter(false));
  proto->DefineNative("getUTCDay", DayGetter(true));
  proto->DefineNative("getTimezoneOffset", [](Call& c) -> Value {
    const DateObject* d = ThisDate(c);
    if (!d) return {};
    return Value::Num((d->time - datetime::LocalTime(d->time)) / kMsPerMinute);
  });
  // valueOf is the very same function as getTime.
  Function* getTime = vm.NewNative([](Call& c) -> Value {
    const DateObject* d = ThisDate(c);
    return d ? Value::Num(d->time) : Value::Undefined();
  });
  proto->Define("getTime", Value::Obj(getTime), kDontEnum);
  proto->Define("valueOf", Value::Obj(getTime), kDontEnum);
  proto->DefineNative("toString", [](Call& c) -> Value {
    const DateObject* d = ThisDate(c);
    return d ? Value::Str(datetime::Format(d->time)) : Value::Undefined();
  });

  struct SetterSpec {
    const char* local;
    const char* utc;
    Field first;
    int maxArgs;
    Conversion how;
  };
  static constexpr SetterSpec kSetters[] = {
      {"setFullYear", "setUTCFullYear", kYear, 3, Conversion::kInteger},
      {"setMonth", "setUTCMonth", kMonth, 2, Conversion::kMonth},
      {"setDate", "setUTCDate", kDate, 1, Conversion::kInteger},
      {"setHours", "setUTCHours", kHours, 4, Conversion::kInteger},
      {"setMinutes", "setUTCMinutes", kMinutes, 3, Conversion::kSaturating},
      {"setSeconds", "setUTCSeconds", kSeconds, 2, Conversion::kInteger},
      {"setMilliseconds", "setUTCMilliseconds", kMs, 1, Conversion::kInteger},
  };
  for (const SetterSpec& s : kSetters) {
    proto->DefineNative(s.local, Setter(s.first, s.maxArgs, false, s.how), s.maxArgs);
    proto->DefineNative(s.utc, Setter(s.first, s.maxArgs, true, s.how), s.maxArgs);
  }
  proto->DefineNative("setYear", Setter(kYear, 3, false, Conversion::kShortYear), 3);
  proto->DefineNative(
      "setTime",
      [](Call& c) -> Value {
        DateObject* d = ThisDate(c);
        if (!d) return {};
        d->time = datetime::TimeClip(c.vm.ToNumber(c.Arg(0)));
        return Value::Num(d->time);
      },
      1);
}

}  // namespace

void SetWallClock(std::function<double()> clock) { ClockOverride() = std::move(clock); }

double WallClockNow() {
  if (const auto& clock = ClockOverride()) return clock();
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  return static_cast<double>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

namespace datetime {

std::int32_t TruncInt32(double d) {
  if (!(d > -2147483649.0 && d < 2147483648.0)) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(d);
}

Fields Split(double t) {
  Fields f;
  const double estimate = std::isfinite(t) ? YearFromTime(t) : kNaN;
  f.year = 1970 + static_cast<std::int64_t>(TruncInt32(estimate - 1970));
  const double year = static_cast<double>(f.year);
  const std::int64_t inYear = TruncInt32(Day(t) - DayFromYear(year));
  const bool leap = IsLeap(year);
  std::size_t m = 0;
  while (m < 11 && inYear >= static_cast<std::int64_t>(DayOfYearOfMonth(static_cast<double>(m + 1), leap))) ++m;
  f.month = static_cast<std::int64_t>(m);
  f.date = inYear - static_cast<std::int64_t>(DayOfYearOfMonth(static_cast<double>(m), leap)) + 1;
  f.weekday = Wrapped(std::fmod(Day(t) + 4, 7), 7);
  // The reference player takes hours from the time plus half a millisecond; that only shows
  // beyond 2^52 ms, where the sum rounds to even.
  f.hours = Wrapped(std::fmod(std::floor((t + 0.5) / kMsPerHour), 24), 24);
  f.minutes = Wrapped(std::fmod(std::floor(t / kMsPerMinute), 60), 60);
  f.seconds = Wrapped(std::fmod(std::floor(t / 1000), 60), 60);
  f.ms = Wrapped(std::fmod(t, 1000), 1000);
  return f;
}

double LocalOffset(double t) {
  if (std::isnan(t)) return 0;
  return OffsetSeconds(std::floor(t / 1000)) * 1000;
}

double LocalTime(double t) { return t + LocalOffset(t); }

double UtcFromLocal(double local) {
  // The offset at the guessed instant, so times near a daylight-saving change land right.
  const double guess = local - LocalOffset(local);
  return local - LocalOffset(guess);
}

double MakeTime(double hours, double minutes, double seconds, double ms) {
  return hours * kMsPerHour + minutes * kMsPerMinute + seconds * 1000 + ms;
}

double MakeDay(double year, double month, double date) {
  const double y = year + std::floor(month / 12);
  const double m = Modulo(month, 12);
  if (std::isnan(y) || std::isnan(m)) return kNaN;
  return DayFromYear(y) + DayOfYearOfMonth(m, IsLeap(y)) + date - 1;
}

double MakeDate(double day, double time) { return day * kMsPerDay + time; }

double TimeClip(double t) {
  if (!std::isfinite(t) || std::fabs(t) > kMaxTime) return kNaN;
  return std::trunc(t) + 0.0;
}

std::string Format(double t) {
  if (!std::isfinite(t)) return "Invalid Date";
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const Fields f = Split(LocalTime(t));
  const std::int64_t offset = TruncInt32(LocalOffset(t) / kMsPerMinute);
  const std::int64_t away = offset < 0 ? -offset : offset;
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s %s %lld %02lld:%02lld:%02lld GMT%c%02lld%02lld %lld",
                kDays[std::clamp<std::int64_t>(f.weekday, 0, 6)], kMonths[std::clamp<std::int64_t>(f.month, 0, 11)],
                static_cast<long long>(f.date), static_cast<long long>(f.hours), static_cast<long long>(f.minutes),
                static_cast<long long>(f.seconds), offset < 0 ? '-' : '+', static_cast<long long>(away / 60),
                static_cast<long long>(away % 60), static_cast<long long>(f.year));
  return buf;
}

}  // namespace datetime

void InstallDate(Machine& vm, Object* global) {
  Object* proto = vm.Make<Object>();
  proto->SetProto(vm.objectProto);
  vm.dateProto = proto;
  InstallPrototype(proto);

  Function* cls = vm.NewClass(
      // Called plainly, it only tells the time.
      [](Call&) -> Value { return Value::Str(datetime::Format(WallClockNow())); },
      [](Call& c) -> Value {
        const double t = TimeFromArgs(c);
        auto* d = c.vm.Make<DateObject>(t);
        TakeOver(c, d);
        return Value::Obj(d);
      },
      proto);
  cls->DefineNative(
      "UTC",
      [](Call& c) -> Value {
        if (c.Count() < 2) return {};
        return Value::Num(TimeFromFields(c));
      },
      7);
  global->Define("Date", Value::Obj(cls), kDontEnum);
}

}  // namespace quillon::player::avm1
