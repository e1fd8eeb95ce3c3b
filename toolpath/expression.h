#pragma once
// Custom macro values and expressions: `#` variables, brackets, the four
// operations, AND OR XOR MOD, the functions and the comparisons, over the
// text of one block (upper case, no spaces).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vostrel::toolpath {

// A variable's value; `null` is the vacant value of #0 and of a variable
// never set.
struct Value {
  double v = 0;
  bool null = true;
  static Value Of(double d) { return {d, false}; }
  double Num() const { return null ? 0.0 : v; }
};

// An error that stops the program (a control would raise an alarm).
struct MacroError {
  std::string message;  // UTF-8
};

class VariableSource {
 public:
  virtual Value Read(int number) = 0;

 protected:
  ~VariableSource() = default;
};

enum class Function : std::uint8_t {
  Sin, Cos, Tan, Asin, Acos, Atan, Sqrt, Abs, Round, Fix, Fup, Ln, Exp, Pow, Bin, Bcd, Adp,
};

// The function of that name, if any.
std::optional<Function> FindFunction(std::string_view name);

// One function on its arguments, angles in degrees: ATAN with two
// arguments gives 0 to 360, ASIN 270 to 90 (a negative result +360), ACOS
// 0 to 180; FIX rounds toward zero, FUP away from zero, ROUND half away
// from zero. A value out of the function's range throws MacroError.
double Apply(Function f, double a, double b = 0, bool twoArguments = false);

// Round half away from zero to an integer (sequence numbers, loop counts,
// variable numbers).
std::int64_t RoundToInteger(double d);

// A word's value: a number, or an expression that starts with `#`, `[`,
// a sign or a function.
struct Operand {
  Value value;
  bool plainInteger = false;  // a number as written, without a decimal point
};

class Evaluator {
 public:
  Evaluator(std::string_view text, std::size_t pos, VariableSource& variables)
      : text_(text), pos_(pos), vars_(variables) {}

  // A whole expression: comparisons (EQ NE GT LT GE LE, 1 or 0) at the
  // lowest rank, then + - OR XOR, then * / AND MOD.
  Value Expression();
  // The value after an address: [sign] term { + - * / term }, ending at the
  // next address letter.
  Operand WordValue();
  // The variable after `#` (pos at the `#`): a number or a bracketed
  // expression; returns its number.
  int VariableNumber();
  std::size_t Pos() const { return pos_; }
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  void Expect(char c);

 private:
  Value Comparison();
  Value Sum();
  Value Product();
  Value Unary();
  Value Primary();
  bool Keyword(std::string_view word);
  [[noreturn]] void Fail(const std::string& what);

  std::string_view text_;
  std::size_t pos_;
  VariableSource& vars_;
};

// A number as written at `pos` (digits with at most one '.'); advances pos.
// False when there is no digit.
bool ParseNumber(std::string_view text, std::size_t& pos, double& value, bool& hasPoint);

}  // namespace vostrel::toolpath
