// The Math object. Every Math function of the reference player converts its first two
// arguments, whatever it uses, and a missing one is NaN; min and max look at two values only.
#include <cmath>
#include <limits>
#include <numbers>

#include "avm1/machine.h"

namespace quillon::player::avm1 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct Operands {
  double a = kNaN, b = kNaN;
};

// In order, so that a throwing valueOf stops before the next one runs.
Operands Convert(Call& c) {
  Operands o;
  if (c.Count() > 0) o.a = c.vm.ToNumber(c.Arg(0));
  if (c.Count() > 1) o.b = c.vm.ToNumber(c.Arg(1));
  return o;
}

NativeFn Unary(double (*f)(double)) {
  return [f](Call& c) { return Value::Num(f(Convert(c).a)); };
}

NativeFn Binary(double (*f)(double, double)) {
  return [f](Call& c) {
    const Operands o = Convert(c);
    return Value::Num(f(o.a, o.b));
  };
}

double Min(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return kNaN;
  if (a == b) return std::signbit(a) ? a : b;  // -0 is the smaller zero
  return a < b ? a : b;
}

double Max(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return kNaN;
  if (a == b) return std::signbit(a) ? b : a;
  return a > b ? a : b;
}

double Abs(double x) { return std::fabs(x); }
double Acos(double x) { return std::acos(x); }
double Asin(double x) { return std::asin(x); }
double Atan(double x) { return std::atan(x); }
double Atan2(double y, double x) { return std::atan2(y, x); }
double Ceil(double x) { return std::ceil(x); }
double Cos(double x) { return std::cos(x); }
double Exp(double x) { return std::exp(x); }
double Floor(double x) { return std::floor(x); }
double Log(double x) { return std::log(x); }
// The C library's pow, not ECMAScript's: pow(1, NaN) is 1 in the reference player too.
double Pow(double x, double y) { return std::pow(x, y); }
double Round(double x) { return std::floor(x + 0.5); }
double Sin(double x) { return std::sin(x); }
double Sqrt(double x) { return std::sqrt(x); }
double Tan(double x) { return std::tan(x); }

}  // namespace

void InstallMath(Machine& vm, Object* global) {
  Object* math = vm.NewObject();
  constexpr std::uint8_t kConstant = kDontEnum | kDontDelete | kReadOnly;
  math->Define("E", Value::Num(std::numbers::e), kConstant);
  math->Define("LN10", Value::Num(std::numbers::ln10), kConstant);
  math->Define("LN2", Value::Num(std::numbers::ln2), kConstant);
  math->Define("LOG10E", Value::Num(std::numbers::log10e), kConstant);
  math->Define("LOG2E", Value::Num(std::numbers::log2e), kConstant);
  math->Define("PI", Value::Num(std::numbers::pi), kConstant);
  math->Define("SQRT1_2", Value::Num(1 / std::numbers::sqrt2), kConstant);
  math->Define("SQRT2", Value::Num(std::numbers::sqrt2), kConstant);

  math->DefineNative("abs", Unary(Abs), 1);
  math->DefineNative("acos", Unary(Acos), 1);
  math->DefineNative("asin", Unary(Asin), 1);
  math->DefineNative("atan", Unary(Atan), 1);
  math->DefineNative("atan2", Binary(Atan2), 2);
  math->DefineNative("ceil", Unary(Ceil), 1);
  math->DefineNative("cos", Unary(Cos), 1);
  math->DefineNative("exp", Unary(Exp), 1);
  math->DefineNative("floor", Unary(Floor), 1);
  math->DefineNative("log", Unary(Log), 1);
  // With nothing to compare, min and max answer the identity of their fold.
  math->DefineNative(
      "max",
      [](Call& c) {
        if (c.Count() == 0) return Value::Num(-kInfinity);
        const Operands o = Convert(c);
        return Value::Num(Max(o.a, o.b));
      },
      2);
  math->DefineNative(
      "min",
      [](Call& c) {
        if (c.Count() == 0) return Value::Num(kInfinity);
        const Operands o = Convert(c);
        return Value::Num(Min(o.a, o.b));
      },
      2);
  math->DefineNative("pow", Binary(Pow), 2);
  math->DefineNative("random", [](Call& c) {
    Convert(c);
    auto& rng = c.vm.random;
    const double span = static_cast<double>(rng.max() - rng.min()) + 1;
    return Value::Num(static_cast<double>(rng() - rng.min()) / span);
  });
  math->DefineNative("round", Unary(Round), 1);
  math->DefineNative("sin", Unary(Sin), 1);
  math->DefineNative("sqrt", Unary(Sqrt), 1);
  math->DefineNative("tan", Unary(Tan), 1);
  global->Define("Math", Value::Obj(math), kDontEnum);
}

}  // namespace quillon::player::avm1
