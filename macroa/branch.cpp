// Branches to G65 H-code calls: IF[left OP right]GOTOn and GOTOn.

#include "macroa/branch.h"

#include <initializer_list>

#include "macroa/take.h"

namespace vostrel {

namespace {

using macroa::Find;
using macroa::Pos;
using macroa::Take;

struct ComparisonRule {
  std::string_view keyword;  // two letters
  std::string_view call;
};

// Every keyword that occurs in the line is tried in this order and the last
// one found decides, wherever it stands in the line.
constexpr ComparisonRule kComparisonRules[] = {
    {"EQ", "G65H81P"},  // left equal to right
    {"NE", "G65H82P"},  // not equal
    {"GT", "G65H83P"},  // greater than
    {"LT", "G65H84P"},  // less than
    {"GE", "G65H85P"},  // greater than or equal
    {"LE", "G65H86P"},  // less than or equal
};

constexpr std::string_view kUnconditionalCall = "G65H80P";

std::string Join(std::initializer_list<std::string_view> pieces) {
  std::size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  std::string out;
  out.reserve(size);
  for (std::string_view piece : pieces) out.append(piece);
  return out;
}

}  // namespace

std::string ConvertBranchLine(std::string_view s) {
  const Pos L = static_cast<Pos>(s.size());
  const Pos I = Find(s, "IF[");
  if (I == 0) {
    const Pos J = Find(s, "GOTO");
    if (J == 0) return std::string(s);
    return Join({Take(s, 1, J - 1), kUnconditionalCall, Take(s, J + 4, L - J - 3)});
  }

  const ComparisonRule* rule = nullptr;
  Pos K = 0;
  for (const ComparisonRule& candidate : kComparisonRules) {
    if (const Pos p = Find(s, candidate.keyword); p != 0) {
      rule = &candidate;
      K = p;
    }
  }
  if (!rule) return std::string(s);

  // Without "]GOTO" G is 0 and the same cuts apply.
  const Pos G = Find(s, "]GOTO");
  const std::string_view label = Take(s, G + 5, L - G - 4);
  const std::string_view left = Take(s, I + 3, K - I - 3);
  const std::string_view right = Take(s, K + 2, G - K - 2);
  return Join({Take(s, 1, I - 1), rule->call, label, "Q", left, "R", right});
}

}  // namespace vostrel
