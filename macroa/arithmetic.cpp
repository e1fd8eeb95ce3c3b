// Assignments to G65 H-code calls: the first keyword of the rule list that
// occurs anywhere in the line picks the call and the cut positions.

#include "macroa/arithmetic.h"

#include <cstdint>

#include "macroa/take.h"

namespace vostrel {

namespace {

using macroa::Find;
using macroa::Pos;
using macroa::Take;

// Where the operands are cut. E is the first "=", K and k the position and
// length of the rule's keyword, L the length of the line.
enum class Cut {
  Binary,         // Q: between "=" and the keyword; R: after it to the end
  Function,       // Q: after the keyword, the last byte of the line dropped
  ArcTangent,     // Q: between "ATAN[" and the first "]/["; R: after "]/[",
                  //    the last byte of the line dropped
  TimesFunction,  // Q: between "=" and the keyword; R: after the keyword,
                  //    the last byte of the line dropped
  AfterEquals,    // Q: everything after the first "="
};

struct ArithmeticRule {
  std::string_view keyword;
  std::string_view otherKeyword;  // a second text that selects the rule too
  std::string_view call;
  Cut cut;
  std::uint64_t keywordBytes = macroa::BytesOf(keyword);
  std::uint64_t otherKeywordBytes = macroa::BytesOf(otherKeyword);
};

// Tried from the top; the first rule whose keyword occurs decides. The order
// matters: "XOR" before "OR", "ABS[" before "+", "+" before "=-", "-"
// before "*".
constexpr ArithmeticRule kArithmeticRules[] = {
    {"XOR", {}, "G65H13P", Cut::Binary},
    {"OR", {}, "G65H11P", Cut::Binary},
    {"AND", {}, "G65H12P", Cut::Binary},
    {"ABS[", {}, "G65H22P", Cut::Function},
    {"MOD", {}, "G65H23P", Cut::Binary},
    {"BIN[", {}, "G65H24P", Cut::Function},
    {"BCD[", {}, "G65H25P", Cut::Function},
    {"SQRT[", {}, "G65H21P", Cut::Function},
    {"ATAN[", {}, "G65H34P", Cut::ArcTangent},
    {"*SIN[", {}, "G65H31P", Cut::TimesFunction},
    {"*COS[", {}, "G65H32P", Cut::TimesFunction},
    {"*TAN[", {}, "G65H33P", Cut::TimesFunction},
    {"+", {}, "G65H02P", Cut::Binary},
    {"=-", "= -", "G65H01P", Cut::AfterEquals},
    {"-", {}, "G65H03P", Cut::Binary},
    {"*", {}, "G65H04P", Cut::Binary},
    {"/", {}, "G65H05P", Cut::Binary},
    {"=", {}, "G65H01P", Cut::AfterEquals},
};

}  // namespace

std::string ConvertArithmeticLine(std::string_view s) {
  std::string out;
  ConvertArithmeticLine(s, macroa::LineBytes(s), out);
  return out;
}

void ConvertArithmeticLine(std::string_view s, const macroa::LineBytes& bytes, std::string& out) {
  const ArithmeticRule* rule = nullptr;
  Pos K = 0;
  for (const ArithmeticRule& candidate : kArithmeticRules) {
    // A keyword with a byte the line lacks is not looked for.
    K = bytes.MayHold(candidate.keywordBytes) ? Find(s, candidate.keyword) : 0;
    if (K == 0 && !candidate.otherKeyword.empty() && bytes.MayHold(candidate.otherKeywordBytes))
      K = Find(s, candidate.otherKeyword);
    if (K != 0) {
      rule = &candidate;
      break;
    }
  }
  if (!rule) {
    out.assign(s);
    return;
  }

  const Pos L = static_cast<Pos>(s.size());
  const Pos k = static_cast<Pos>(rule->keyword.size());
  const Pos H = Find(s, "#");
  const Pos E = Find(s, "=");

  std::string_view first, second;
  bool hasSecond = true;
  switch (rule->cut) {
    case Cut::Binary:
      first = Take(s, E + 1, K - E - 1);
      second = Take(s, K + k, L - K - k + 1);
      break;
    case Cut::Function:
      first = Take(s, K + k, L - K - k);
      hasSecond = false;
      break;
    case Cut::ArcTangent: {
      const Pos A = K;
      const Pos M = Find(s, bytes, "]/[");
      first = Take(s, A + 5, M - A - 5);
      second = Take(s, M + 3, L - M - 3);
      break;
    }
    case Cut::TimesFunction:
      first = Take(s, E + 1, K - E - 1);
      second = Take(s, K + k, L - K - k);
      break;
    case Cut::AfterEquals:
      first = Take(s, E + 1, L - E);
      hasSecond = false;
      break;
  }

  // Everything before the first "#" (a sequence number), then the target:
  // from the first "#" up to the first "=".
  const std::string_view prefix = Take(s, 1, H - 1);
  const std::string_view target = Take(s, H, E - H);

  out.clear();
  out.reserve(prefix.size() + rule->call.size() + target.size() + first.size() + second.size() + 2);
  out.append(prefix).append(rule->call).append(target).append(1, 'Q').append(first);
  if (hasSecond) out.append(1, 'R').append(second);
}

}  // namespace vostrel
