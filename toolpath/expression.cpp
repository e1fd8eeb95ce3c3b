#include "toolpath/expression.h"

#include <cmath>
#include <numbers>

#include "text/sjis.h"

namespace vostrel::toolpath {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

struct NamedFunction {
  std::string_view name;
  Function function;
};

// Longer names first where one begins another (ATAN before ... none now,
// but ASIN/ACOS/ATAN are distinct from SIN/COS/TAN at their first letter).
constexpr NamedFunction kFunctions[] = {
    {"SIN", Function::Sin},     {"COS", Function::Cos},     {"TAN", Function::Tan},
    {"ASIN", Function::Asin},   {"ACOS", Function::Acos},   {"ATAN", Function::Atan},
    {"SQRT", Function::Sqrt},   {"SQR", Function::Sqrt},    {"ABS", Function::Abs},
    {"ROUND", Function::Round}, {"RND", Function::Round},   {"FIX", Function::Fix},
    {"FUP", Function::Fup},     {"LN", Function::Ln},       {"EXP", Function::Exp},
    {"POW", Function::Pow},     {"BIN", Function::Bin},     {"BCD", Function::Bcd},
    {"ADP", Function::Adp},
};

bool IsLetter(char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Equal within the precision of a control's arithmetic (values carry
// about 15 significant digits; a loop that adds 0.1 ten times reaches 1).
bool NearlyEqual(double a, double b) {
  const double scale = std::fmax(1.0, std::fmax(std::fabs(a), std::fabs(b)));
  return std::fabs(a - b) <= 1e-10 * scale;
}

double Bcd(double d) {
  std::int64_t n = RoundToInteger(d), out = 0, shift = 0;
  if (n < 0) throw MacroError{"BCD の値が負です"};
  while (n > 0) {
    out |= (n % 10) << shift;
    n /= 10;
    shift += 4;
  }
  return static_cast<double>(out);
}

double Bin(double d) {
  std::int64_t n = RoundToInteger(d), out = 0, scale = 1;
  if (n < 0) throw MacroError{"BIN の値が負です"};
  while (n > 0) {
    const std::int64_t digit = n & 15;
    if (digit > 9) throw MacroError{"BIN の値が BCD ではありません"};
    out += digit * scale;
    scale *= 10;
    n >>= 4;
  }
  return static_cast<double>(out);
}

}  // namespace

std::int64_t RoundToInteger(double d) { return static_cast<std::int64_t>(std::round(d)); }

std::optional<Function> FindFunction(std::string_view name) {
  for (const NamedFunction& f : kFunctions)
    if (f.name == name) return f.function;
  return std::nullopt;
}

double Apply(Function f, double a, double b, bool twoArguments) {
  switch (f) {
    case Function::Sin: return std::sin(a * kDegree);
    case Function::Cos: return std::cos(a * kDegree);
    case Function::Tan: {
      const double r = std::fmod(std::fabs(a), 180.0);
      if (NearlyEqual(r, 90.0)) throw MacroError{"TAN[" + std::to_string(a) + "] は定義されません"};
      return std::tan(a * kDegree);
    }
    case Function::Asin: {
      if (a < -1 - 1e-12 || a > 1 + 1e-12) throw MacroError{"ASIN の値が -1 から 1 の外です"};
      double d = std::asin(std::fmax(-1.0, std::fmin(1.0, a))) / kDegree;
      return d < 0 ? d + 360 : d;
    }
    case Function::Acos:
      if (a < -1 - 1e-12 || a > 1 + 1e-12) throw MacroError{"ACOS の値が -1 から 1 の外です"};
      return std::acos(std::fmax(-1.0, std::fmin(1.0, a))) / kDegree;
    case Function::Atan: {
      const double d = (twoArguments ? std::atan2(a, b) : std::atan(a)) / kDegree;
      return d < 0 ? d + 360 : d;
    }
    case Function::Sqrt:
      if (a < 0) throw MacroError{"SQRT の値が負です"};
      return std::sqrt(a);
    case Function::Abs: return std::fabs(a);
    case Function::Round: return std::round(a);
    case Function::Fix: return std::trunc(a);
    case Function::Fup: {
      // Away from zero; a value that is whole within rounding stays.
      const double t = std::trunc(a);
      if (NearlyEqual(a, t)) return t;
      return a > 0 ? t + 1 : t - 1;
    }
    case Function::Ln:
      if (a <= 0) throw MacroError{"LN の値が 0 以下です"};
      return std::log(a);
    case Function::Exp: return std::exp(a);
    case Function::Pow: {
      const double r = std::pow(a, b);
      if (std::isnan(r)) throw MacroError{"POW の値が求められません"};
      return r;
    }
    case Function::Bin: return Bin(a);
    case Function::Bcd: return Bcd(a);
    case Function::Adp: return a;  // a decimal point is added to an integer: no change here
  }
  return 0;
}

bool ParseNumber(std::string_view text, std::size_t& pos, double& value, bool& hasPoint) {
  std::int64_t mantissa = 0;
  int digits = 0, fraction = 0;
  hasPoint = false;
  std::size_t p = pos;
  bool exact = true;
  for (; p < text.size(); ++p) {
    const char c = text[p];
    if (IsDigit(c)) {
      if (digits < 18 && fraction < 20) {
        mantissa = mantissa * 10 + (c - '0');
        if (mantissa != 0) ++digits;
        if (hasPoint) ++fraction;
      } else {
        exact = false;  // read again below
      }
    } else if (c == '.' && !hasPoint) {
      hasPoint = true;
    } else {
      break;
    }
  }
  if (p == pos || (p == pos + 1 && hasPoint)) return false;
  if (exact) {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9, 1e10,
                                        1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20};
    value = static_cast<double>(mantissa) / kPow10[fraction];
  } else {
    value = std::strtod(std::string(text.substr(pos, p - pos)).c_str(), nullptr);
  }
  pos = p;
  return true;
}

void Evaluator::Fail(const std::string& what) {
  throw MacroError{what + " (" + std::to_string(pos_ + 1) + " 桁目: " +
                   sjis::ToUtf8(text_.substr(pos_, 12)) + ")"};
}

void Evaluator::Expect(char c) {
  if (Peek() != c) Fail(std::string("'") + c + "' がありません");
  ++pos_;
}

bool Evaluator::Keyword(std::string_view word) {
  if (text_.substr(pos_, word.size()) != word) return false;
  pos_ += word.size();
  return true;
}

Value Evaluator::Expression() { return Comparison(); }

Value Evaluator::Comparison() {
  const Value left = Sum();
  enum { EQ, NE, GT, LT, GE, LE } op;
  if (Keyword("EQ")) op = EQ;
  else if (Keyword("NE")) op = NE;
  else if (Keyword("GT")) op = GT;
  else if (Keyword("LT")) op = LT;
  else if (Keyword("GE")) op = GE;
  else if (Keyword("LE")) op = LE;
  else return left;
  const Value right = Sum();
  bool r = false;
  // The vacant value equals only itself; in magnitude it is 0.
  const bool equal = (left.null || right.null) ? left.null == right.null : NearlyEqual(left.v, right.v);
  const double a = left.Num(), b = right.Num();
  switch (op) {
    case EQ: r = equal; break;
    case NE: r = !equal; break;
    case GT: r = a > b && !NearlyEqual(a, b); break;
    case LT: r = a < b && !NearlyEqual(a, b); break;
    case GE: r = a > b || NearlyEqual(a, b); break;
    case LE: r = a < b || NearlyEqual(a, b); break;
  }
  return Value::Of(r ? 1 : 0);
}

Value Evaluator::Sum() {
  Value left = Product();
  for (;;) {
    const char c = Peek();
    if (c == '+' || c == '-') {
      ++pos_;
      const double b = Product().Num();
      left = Value::Of(c == '+' ? left.Num() + b : left.Num() - b);
    } else if (Keyword("OR")) {
      left = Value::Of(static_cast<double>(RoundToInteger(left.Num()) | RoundToInteger(Product().Num())));
    } else if (Keyword("XOR")) {
      left = Value::Of(static_cast<double>(RoundToInteger(left.Num()) ^ RoundToInteger(Product().Num())));
    } else {
      return left;
    }
  }
}

Value Evaluator::Product() {
  Value left = Unary();
  for (;;) {
    const char c = Peek();
    if (c == '*' || c == '/') {
      ++pos_;
      const double b = Unary().Num();
      if (c == '/' && b == 0) Fail("0 で割りました");
      left = Value::Of(c == '*' ? left.Num() * b : left.Num() / b);
    } else if (Keyword("AND")) {
      left = Value::Of(static_cast<double>(RoundToInteger(left.Num()) & RoundToInteger(Unary().Num())));
    } else if (Keyword("MOD")) {
      const std::int64_t a = RoundToInteger(left.Num()), b = RoundToInteger(Unary().Num());
      if (b == 0) Fail("MOD 0 で割りました");
      left = Value::Of(static_cast<double>(a % b));
    } else {
      return left;
    }
  }
}

Value Evaluator::Unary() {
  const char c = Peek();
  if (c == '-' || c == '+') {
    ++pos_;
    const Value v = Unary();
    if (v.null) return v;
    return Value::Of(c == '-' ? -v.v : v.v);
  }
  return Primary();
}

Value Evaluator::Primary() {
  const char c = Peek();
  if (c == '[') {
    ++pos_;
    const Value v = Expression();
    Expect(']');
    return v;
  }
  if (c == '#') return vars_.Read(VariableNumber());
  if (IsDigit(c) || c == '.') {
    double d;
    bool point;
    if (!ParseNumber(text_, pos_, d, point)) Fail("数値が読めません");
    return Value::Of(d);
  }
  if (IsLetter(c)) {
    std::size_t end = pos_;
    while (end < text_.size() && IsLetter(text_[end])) ++end;
    const std::optional<Function> f = FindFunction(text_.substr(pos_, end - pos_));
    if (!f || end >= text_.size() || text_[end] != '[') Fail("式が読めません");
    pos_ = end + 1;
    const double a = Expression().Num();
    double b = 0;
    bool two = false;
    if (Peek() == ',') {
      ++pos_;
      b = Expression().Num();
      two = true;
    }
    Expect(']');
    // ATAN[a]/[b]: the second argument after a slash.
    if (*f == Function::Atan && !two && text_.substr(pos_, 2) == "/[") {
      pos_ += 2;
      b = Expression().Num();
      Expect(']');
      two = true;
    }
    return Value::Of(Apply(*f, a, b, two));
  }
  Fail("式が読めません");
}

int Evaluator::VariableNumber() {
  Expect('#');
  double d;
  bool point;
  if (Peek() == '[') {
    ++pos_;
    d = Expression().Num();
    Expect(']');
  } else if (!ParseNumber(text_, pos_, d, point)) {
    Fail("変数番号がありません");
  }
  const std::int64_t n = RoundToInteger(d);
  if (n < 0 || n > 99999) Fail("変数番号 #" + std::to_string(n) + " は使えません");
  return static_cast<int>(n);
}

Operand Evaluator::WordValue() {
  Operand out;
  const std::size_t start = pos_;
  Value v = Unary();
  // A number as written, with or without a sign and no operation after it.
  bool plain = true;
  for (std::size_t p = start; p < pos_; ++p)
    if (!IsDigit(text_[p]) && text_[p] != '-' && text_[p] != '+') plain = false;
  for (;;) {
    const char c = Peek();
    if (c != '+' && c != '-' && c != '*' && c != '/') break;
    ++pos_;
    plain = false;
    const double b = Unary().Num();
    if (c == '/' && b == 0) Fail("0 で割りました");
    const double a = v.Num();
    v = Value::Of(c == '+' ? a + b : c == '-' ? a - b : c == '*' ? a * b : a / b);
  }
  out.value = v;
  out.plainInteger = plain;
  return out;
}

}  // namespace vostrel::toolpath
