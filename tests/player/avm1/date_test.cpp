// Date: construction, Date.UTC, the fields in UTC and in the C library's zone, the string
// form, the setters' conversions and clipping, and the reference player's results for times
// out of range. Most tests pin the zone at a fixed +05:45 and the clock at 2001-02-02T22:20:06Z.
#include "avm1/classes/date.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "avm1/fake_host.h"

namespace quillon::player::avm1::testing {
namespace {

constexpr double kNow = 981152406000;  // 2001-02-02T22:20:06Z
constexpr double kSample = 1594844387653;  // 2020-07-15T20:19:47.653Z, a Wednesday
constexpr double kZone = (5 * 60 + 45) * 60000.0;
constexpr std::int64_t kIntMin = std::numeric_limits<std::int32_t>::min();

class ZoneGuard {
 public:
  explicit ZoneGuard(const char* tz) {
    if (const char* old = std::getenv("TZ")) saved_ = old;
    Set(tz);
  }
  ~ZoneGuard() {
    if (saved_) setenv("TZ", saved_->c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }
  ZoneGuard(const ZoneGuard&) = delete;
  ZoneGuard& operator=(const ZoneGuard&) = delete;
  void Set(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }

 private:
  std::optional<std::string> saved_;
};

class DateTest : public ::testing::Test {
 protected:
  DateTest() : zone_("<+0545>-05:45") { SetWallClock([] { return kNow; }); }
  ~DateTest() override { SetWallClock({}); }

  Value DateClass() { return rig_.vm.global()->Get("Date"); }
  Value New(std::vector<double> args) {
    std::vector<Value> values;
    for (double a : args) values.push_back(Value::Num(a));
    return rig_.vm.Construct(DateClass(), values);
  }
  Value Invoke(const Value& self, const char* method, std::vector<double> args = {}) {
    std::vector<Value> values;
    for (double a : args) values.push_back(Value::Num(a));
    return rig_.vm.CallMethod(self.object, method, values);
  }
  double Num(const Value& self, const char* method, std::vector<double> args = {}) {
    const Value r = Invoke(self, method, std::move(args));
    EXPECT_TRUE(r.IsNumber()) << method;
    return r.number;
  }
  double Utc(std::vector<double> args) { return Num(DateClass(), "UTC", std::move(args)); }

  ZoneGuard zone_;
  Rig rig_{8};
};

TEST_F(DateTest, ConstructionReadsTheClockATimeOrLocalFields) {
  const Value now = New({});
  ASSERT_TRUE(now.IsObject());
  EXPECT_EQ(now.object->Proto(), rig_.vm.dateProto);
  EXPECT_EQ(rig_.vm.ToNumber(now), kNow);
  EXPECT_EQ(rig_.vm.ToNumber(rig_.vm.Construct(DateClass(), std::vector<Value>{now})), kNow);
  const Value called = rig_.vm.CallValue(DateClass(), {}, {});
  EXPECT_EQ(called.string, "Sat Feb 3 04:05:06 GMT+0545 2001");

  // A single time is kept as given, fraction and range included; only the setters clip.
  EXPECT_EQ(Num(New({5.5}), "getTime"), 5.5);
  EXPECT_EQ(Num(New({8.64e15 + 1}), "getTime"), 8.64e15 + 1);
  EXPECT_EQ(Num(New({INFINITY}), "getTime"), INFINITY);

  EXPECT_EQ(Num(New({2000, 11, 31, 23, 59, 59, 999}), "getTime"), 978307199999 - kZone);
  EXPECT_EQ(Num(New({1, 2}), "getTime"), Utc({1901, 2, 1}) - kZone);
  // Years below 100 are 1900 on, negative ones too; fractions are cut.
  EXPECT_EQ(Num(New({-1, 0}), "getFullYear"), 1899);
  EXPECT_EQ(Num(New({7002.5, 13.5, 32.5}), "getTime"), Utc({7003, 2, 4}) - kZone);
}

TEST_F(DateTest, UtcNeedsTwoFieldsAndCarriesNonFiniteValues) {
  EXPECT_TRUE(Invoke(DateClass(), "UTC", {2000}).IsUndefined());
  EXPECT_EQ(Utc({1, 2}), -25143 * datetime::kMsPerDay);  // 1901-03-01
  EXPECT_EQ(Utc({0, 0, 0}), -2209075200000);              // 1899-12-31
  EXPECT_EQ(Utc({2000, 11, 31, 23, 59, 59, 999}), 978307199999);
  EXPECT_EQ(Utc({-1, -2, -3, -4, -5, -6, -7}), Utc({1898, 9, 28}) - (((4 * 60 + 5) * 60 + 6) * 1000.0 + 7));
  EXPECT_TRUE(std::isnan(Utc({0, NAN})));
  EXPECT_TRUE(std::isnan(Utc({0, INFINITY})));
  EXPECT_EQ(Utc({0, 0, INFINITY}), INFINITY);
  EXPECT_EQ(Utc({0, 0, 0, 0, 0, -INFINITY}), -INFINITY);
  // A year that is not a number saturates to the lowest 32-bit integer instead.
  EXPECT_EQ(Utc({NAN, 0, 1}), Utc({static_cast<double>(kIntMin - 1900), 0, 1}));
  EXPECT_LT(Utc({NAN, 0, 1}), -6e19);
}

TEST_F(DateTest, FieldsInUtcAndInTheZone) {
  const Value d = New({kSample});
  EXPECT_EQ(Num(d, "getUTCFullYear"), 2020);
  EXPECT_EQ(Num(d, "getUTCYear"), 120);
  EXPECT_EQ(Num(d, "getUTCMonth"), 6);
  EXPECT_EQ(Num(d, "getUTCDate"), 15);
  EXPECT_EQ(Num(d, "getUTCDay"), 3);
  EXPECT_EQ(Num(d, "getUTCHours"), 20);
  EXPECT_EQ(Num(d, "getUTCMinutes"), 19);
  EXPECT_EQ(Num(d, "getUTCSeconds"), 47);
  EXPECT_EQ(Num(d, "getUTCMilliseconds"), 653);
  EXPECT_EQ(Num(d, "getDate"), 16);
  EXPECT_EQ(Num(d, "getDay"), 4);
  EXPECT_EQ(Num(d, "getHours"), 2);
  EXPECT_EQ(Num(d, "getMinutes"), 4);
  EXPECT_EQ(Num(d, "getTimezoneOffset"), -345);
  EXPECT_EQ(Invoke(d, "toString").string, "Thu Jul 16 02:04:47 GMT+0545 2020");

  const Value before = New({-500});
  EXPECT_EQ(Num(before, "getUTCFullYear"), 1969);
  EXPECT_EQ(Num(before, "getUTCSeconds"), 59);
  EXPECT_EQ(Num(before, "getUTCMilliseconds"), 500);
  EXPECT_EQ(Num(New({-8.64e15}), "getUTCFullYear"), -271821);
}

TEST_F(DateTest, TimesOutOfRangeGiveTheReferencePlayersFields) {
  const Value nan = New({NAN});
  EXPECT_EQ(Invoke(nan, "toString").string, "Invalid Date");
  EXPECT_TRUE(std::isnan(Num(nan, "getMonth")));
  EXPECT_TRUE(std::isnan(Num(nan, "getTimezoneOffset")));

  // Infinite times: every integer conversion saturates, then a period is added back.
  const Value inf = New({-INFINITY});
  EXPECT_EQ(Invoke(inf, "toString").string, "Invalid Date");
  EXPECT_EQ(Num(inf, "getFullYear"), kIntMin + 1970);
  EXPECT_EQ(Num(inf, "getYear"), kIntMin + 70);
  EXPECT_EQ(Num(inf, "getMonth"), 0);
  EXPECT_EQ(Num(inf, "getDate"), kIntMin + 1);
  EXPECT_EQ(Num(inf, "getDay"), kIntMin + 7);
  EXPECT_EQ(Num(inf, "getUTCHours"), kIntMin + 24);
  EXPECT_EQ(Num(inf, "getMilliseconds"), kIntMin + 1000);
  EXPECT_TRUE(std::isnan(Num(inf, "getTimezoneOffset")));

  // Beyond 2^52 ms the hour of the last millisecond before an hour already reads the next one.
  const Value edge = New({-8.64e15 - 1});
  EXPECT_EQ(Num(edge, "getUTCHours"), 0);
  EXPECT_EQ(Num(edge, "getUTCMinutes"), 59);
  EXPECT_EQ(Num(edge, "getUTCDate"), 19);
}

TEST_F(DateTest, SettersConvertTheirOwnWayAndClip) {
  auto set = [&](const char* method, std::vector<double> args) {
    const Value d = New({kSample});
    const double r = Num(d, method, std::move(args));
    EXPECT_TRUE(std::isnan(r) ? std::isnan(Num(d, "getTime")) : r == Num(d, "getTime")) << method;
    return r;
  };
  EXPECT_EQ(set("setMilliseconds", {24.5}), kSample - 653 + 24);
  EXPECT_EQ(set("setUTCHours", {0}), kSample - 20 * 3600000.0);
  EXPECT_EQ(set("setHours", {0, 0, 0, 0}), kSample - ((2 * 60 + 4) * 60 + 47) * 1000.0 - 653);
  // A NaN month is January; a NaN minute is the lowest 32-bit integer; elsewhere NaN spoils the date.
  EXPECT_EQ(set("setMonth", {NAN}), set("setMonth", {0}));
  EXPECT_TRUE(std::isnan(set("setMonth", {INFINITY})));
  EXPECT_EQ(set("setMinutes", {NAN}), kSample + (kIntMin - 4) * 60000.0);
  EXPECT_EQ(set("setUTCMinutes", {0, INFINITY}), kSample - 19 * 60000.0 + (kIntMin - 47) * 1000.0);
  EXPECT_TRUE(std::isnan(set("setSeconds", {NAN})));
  EXPECT_TRUE(std::isnan(set("setDate", {})));
  // setYear reads 0-99 as 1900 on, setFullYear does not.
  EXPECT_EQ(set("setYear", {5}), set("setFullYear", {1905}));
  EXPECT_EQ(set("setYear", {-1}), set("setFullYear", {-1}));
  EXPECT_TRUE(std::isnan(set("setFullYear", {123456789})));
  EXPECT_EQ(set("setUTCFullYear", {2000, 11, 31}), Utc({2000, 11, 31}) + (kSample - Utc({2020, 6, 15})));

  EXPECT_EQ(set("setTime", {5.5}), 5);
  EXPECT_EQ(set("setTime", {-8.64e15}), -8.64e15);
  EXPECT_TRUE(std::isnan(set("setTime", {8.64e15 + 1})));
  // An invalid date stays invalid, whatever is set.
  const Value nan = New({NAN});
  EXPECT_TRUE(std::isnan(Num(nan, "setFullYear", {2000})));
  EXPECT_TRUE(std::isnan(Num(New({INFINITY}), "setMilliseconds", {1})));
  // An out-of-range base works while the result is in range.
  EXPECT_EQ(Num(New({8.64e15 + 1}), "setUTCFullYear", {2000}), Utc({2000, 8, 13}) + 1);
}

TEST_F(DateTest, MethodsBelongToDatesOnly) {
  Object* proto = rig_.vm.dateProto;
  EXPECT_EQ(proto->Get("valueOf").object, proto->Get("getTime").object);
  const Value plain = Value::Obj(rig_.vm.NewObject());
  EXPECT_TRUE(rig_.vm.CallValue(proto->Get("getTime"), plain, {}).IsUndefined());
  EXPECT_TRUE(rig_.vm.CallValue(proto->Get("setHours"), plain, std::vector<Value>{Value::Num(1)}).IsUndefined());
  EXPECT_TRUE(proto->EnumerableKeys().empty());
}

TEST_F(DateTest, TheZoneComesFromTheCLibrary) {
  zone_.Set("EST5EDT,M3.2.0,M11.1.0");
  const Value summer = New({2020, 6, 1});
  EXPECT_EQ(Num(summer, "getTime"), Utc({2020, 6, 1, 4}));
  EXPECT_EQ(Num(summer, "getTimezoneOffset"), 240);
  EXPECT_EQ(Invoke(summer, "toString").string, "Wed Jul 1 00:00:00 GMT-0400 2020");
  const Value winter = New({2020, 0, 1});
  EXPECT_EQ(Num(winter, "getTimezoneOffset"), 300);
  EXPECT_EQ(Num(winter, "getHours"), 0);

  zone_.Set("<-0330>3:30");
  EXPECT_EQ(datetime::Format(0), "Wed Dec 31 20:30:00 GMT-0330 1969");
}

TEST(DateClockTest, TheSystemClockIsTheDefault) {
  SetWallClock({});
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  const double now = static_cast<double>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
  EXPECT_NEAR(WallClockNow(), now, 5000);
  SetWallClock([] { return 1.0; });
  EXPECT_EQ(WallClockNow(), 1);
  SetWallClock({});
}

}  // namespace
}  // namespace quillon::player::avm1::testing
