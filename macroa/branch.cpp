// Branches to G65 H-code calls: IF[left OP right]GOTOn and GOTOn.

#include "macroa/branch.h"

#include <cstdint>
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
  std::uint64_t keywordBytes = macroa::BytesOf(keyword);
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

void Join(std::initializer_list<std::string_view> pieces, std::string& out) {
  std::size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  out.clear();
  out.reserve(size);
  for (std::string_view piece : pieces) out.append(piece);
}

}  // namespace

std::string ConvertBranchLine(std::string_view s) {
  std::string out;
  ConvertBranchLine(s, macroa::LineBytes(s), out);
  return out;
}

void ConvertBranchLine(std::string_view s, const macroa::LineBytes& bytes, std::string& out) {
  const Pos L = static_cast<Pos>(s.size());
  const Pos I = Find(s, bytes, "IF[");
  if (I == 0) {
    const Pos J = Find(s, bytes, "GOTO");
    if (J == 0) {
      out.assign(s);
      return;
    }
    Join({Take(s, 1, J - 1), kUnconditionalCall, Take(s, J + 4, L - J - 3)}, out);
    return;
  }

  const ComparisonRule* rule = nullptr;
  Pos K = 0;
  for (const ComparisonRule& candidate : kComparisonRules) {
    if (const Pos p = bytes.MayHold(candidate.keywordBytes) ? Find(s, candidate.keyword) : 0; p != 0) {
      rule = &candidate;
      K = p;
    }
  }
  if (!rule) {
    out.assign(s);
    return;
  }

  // Without "]GOTO" G is 0 and the same cuts apply.
  const Pos G = Find(s, bytes, "]GOTO");
  const std::string_view label = Take(s, G + 5, L - G - 4);
  const std::string_view left = Take(s, I + 3, K - I - 3);
  const std::string_view right = Take(s, K + 2, G - K - 2);
  Join({Take(s, 1, I - 1), rule->call, label, "Q", left, "R", right}, out);
}

}  // namespace vostrel
