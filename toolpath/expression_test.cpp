#include "toolpath/expression.h"

#include <gtest/gtest.h>

#include <map>

namespace vostrel::toolpath {
namespace {

class Table final : public VariableSource {
 public:
  std::map<int, Value> values;
  Value Read(int n) override {
    const auto it = values.find(n);
    return it == values.end() ? Value{} : it->second;
  }
};

Value Evaluate(const std::string& text, Table& vars) {
  Evaluator e(text, 0, vars);
  const Value v = e.Expression();
  EXPECT_TRUE(e.AtEnd()) << text << " read up to " << e.Pos();
  return v;
}

// The rules of the control makers' manuals: FIX toward zero, FUP away from
// zero, ROUND half away from zero, angles in degrees, ATAN 0..360 and
// ASIN 270..90 with the default parameter.
TEST(ToolpathExpression, FunctionsFollowTheControlRules) {
  const struct {
    const char* text;
    double expected;
  } cases[] = {
      {"FIX[1.2]", 1},          {"FIX[-1.2]", -1},         {"FIX[-1.9]", -1},
      {"FUP[1.2]", 2},          {"FUP[-1.2]", -2},         {"FUP[-3.1]", -4},
      {"FUP[2.0]", 2},          {"FUP[-2.0]", -2},         {"ROUND[1.5]", 2},
      {"ROUND[-1.5]", -2},      {"ROUND[2.5]", 3},         {"ROUND[-2.4]", -2},
      {"ROUND[1.2345]", 1},     {"SIN[30]", 0.5},          {"COS[60]", 0.5},
      {"TAN[45]", 1},           {"SIN[-90]", -1},          {"COS[180]", -1},
      {"ASIN[0.5]", 30},        {"ASIN[-0.5]", 330},       {"ACOS[0.5]", 60},
      {"ACOS[-1]", 180},        {"ATAN[1]/[1]", 45},       {"ATAN[-1]/[-1]", 225},
      {"ATAN[1,-1]", 135},      {"ATAN[-1]/[1]", 315},     {"ATAN[1]", 45},
      {"SQRT[16]", 4},          {"ABS[-3.5]", 3.5},        {"LN[1]", 0},
      {"EXP[0]", 1},            {"POW[2,10]", 1024},       {"BIN[37]", 25},
      {"BCD[25]", 37},          {"10MOD3", 1},             {"-7MOD3", -1},
      {"5AND3", 1},             {"5OR3", 7},               {"5XOR3", 6},
      {"1+2*3", 7},             {"[1+2]*3", 9},            {"-2*-3", 6},
      {"10/4", 2.5},            {"1-2-3", -4},             {"2GT1", 1},
      {"2LT1", 0},              {"1GE1", 1},               {"1LE0.9", 0},
      {"[0.1+0.2]EQ0.3", 1},    {"1NE1", 0},               {"SQRT[[3*3]+[4*4]]", 5},
  };
  Table vars;
  for (const auto& c : cases) EXPECT_NEAR(Evaluate(c.text, vars).Num(), c.expected, 1e-9) << c.text;
}

TEST(ToolpathExpression, OutOfRangeRaisesAnAlarm) {
  Table vars;
  for (const char* text : {"SQRT[-1]", "1/0", "ASIN[2]", "ACOS[-1.5]", "LN[0]", "TAN[90]", "5MOD0", "BIN[10]"}) {
    Evaluator e(text, 0, vars);
    EXPECT_THROW(e.Expression(), MacroError) << text;
  }
}

TEST(ToolpathExpression, VacantVariables) {
  Table vars;
  vars.values[2] = Value::Of(0);
  vars.values[3] = Value::Of(7);
  const struct {
    const char* text;
    bool null;
    double value;
  } cases[] = {
      {"#1", true, 0},        {"#0", true, 0},        {"#1+1", false, 1},     {"#1*5", false, 0},
      {"#1EQ#0", false, 1},   {"#1EQ0", false, 0},    {"#2EQ#0", false, 0},   {"#1NE#0", false, 0},
      {"#1LT1", false, 1},    {"#[#3-6]", true, 0},  {"#[1+2]", false, 7},   {"-#1", true, 0},
  };
  for (const auto& c : cases) {
    const Value v = Evaluate(c.text, vars);
    EXPECT_EQ(v.null, c.null) << c.text;
    EXPECT_EQ(v.Num(), c.value) << c.text;
  }
}

TEST(ToolpathExpression, WordValuesStopAtTheNextAddress) {
  Table vars;
  vars.values[1] = Value::Of(2);
  const struct {
    const char* text;  // the value after an address, then more words
    double value;
    bool plainInteger;
    std::size_t end;
  } cases[] = {
      {"10Y5", 10, true, 2},        {"-1.5Y2.", -1.5, false, 4}, {"#1R3", 2, false, 2},
      {"-#1Q", -2, false, 3},       {"[#1*3]Z", 6, false, 6},    {"#1+#1R", 4, false, 5},
      {"SIN[30]R1", 0.5, false, 7}, {"-25Z", -25, true, 3},
  };
  for (const auto& c : cases) {
    Evaluator e(c.text, 0, vars);
    const Operand o = e.WordValue();
    EXPECT_NEAR(o.value.Num(), c.value, 1e-12) << c.text;
    EXPECT_EQ(o.plainInteger, c.plainInteger) << c.text;
    EXPECT_EQ(e.Pos(), c.end) << c.text;
  }
}

}  // namespace
}  // namespace vostrel::toolpath
