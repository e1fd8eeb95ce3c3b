// 定義ﾃﾞｰﾀ置換: one-byte names become their values.
//
// One-byte names are replaced line by line from their scope line on, and
// only where they stand between delimiters. Where "@" + name occurs, the
// array form "@name[" becomes "#[" + value + "+" before the plain
// replacement.

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/definition_values.h"
#include "pipeline/stages/stages.h"
#include "pipeline/text_growth.h"
#include "text/sjis.h"

namespace vostrel {

namespace {

// True when `needle` occurs in `s` starting on a whole character (never at
// the second byte of a double-byte character).
bool ContainsAtCharStart(std::string_view s, std::string_view needle) {
  std::size_t cursor = 0;  // always the start of a character
  for (std::size_t p = sjis::FindBytes(s, needle); p != std::string_view::npos;
       p = sjis::FindBytes(s, needle, p + 1)) {
    while (cursor < p) cursor += sjis::CharLength(s, cursor);
    if (cursor == p) return true;
  }
  return false;
}

// The bytes a one-byte name must stand between to be replaced.
constexpr std::string_view kNameDelimiters = ".0123456789#-+/*[]= \t()";

struct DelimiterTable {
  bool is[256] = {};
  constexpr DelimiterTable() {
    for (char c : kNameDelimiters) is[static_cast<unsigned char>(c)] = true;
  }
};
constexpr DelimiterTable kDelimiter;

bool IsDelimiter(char c) { return kDelimiter.is[static_cast<unsigned char>(c)]; }

// Every occurrence of the one-byte `name` in `line` whose neighbours are
// delimiters becomes `value`, the result written to `out`; false (and `out`
// not written) when there is none. At the start or end of the line only the
// one neighbour counts; a line that is the name alone stays. Neighbours are
// judged in the line as it was, character by character: the name must be a
// whole character, and a byte of a double-byte character is never a
// delimiter (the second byte of "ー", 0x5B, is no "[").
bool ReplaceBetweenDelimiters(std::string_view line, char name, std::string_view value, std::string& out) {
  const std::size_t len = line.size();
  if (len < 2) return false;
  const char* data = line.data();
  bool replaced = false;
  std::size_t copied = 0;
  for (const void* hit = std::memchr(data, name, len); hit;) {
    const std::size_t c = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
    const bool before = c == 0 || (IsDelimiter(data[c - 1]) && !sjis::IsSecondByte(line, c - 1));
    const bool after = (c + 1 == len || IsDelimiter(data[c + 1])) && sjis::CharLength(line, c) == 1;
    if (before && after) {
      if (!replaced) {
        out.clear();
        out.reserve(len + value.size() * 2);
        replaced = true;
      }
      out.append(data + copied, c - copied);
      out.append(value);
      copied = c + 1;
    }
    hit = c + 1 < len ? std::memchr(data + c + 1, name, len - c - 1) : nullptr;
  }
  if (!replaced) return false;
  out.append(data + copied, len - copied);
  return true;
}

// Calls mark(b) for every byte b of `line` that isName(b) takes for a name
// and that stands where it could be replaced: between delimiter bytes (or
// the line's ends), or after an "@".
template <class IsName, class Mark>
void ForEachReplaceablePlace(std::string_view line, IsName isName, Mark mark) {
  const std::size_t size = line.size();
  for (std::size_t i = 0; i < size; ++i) {
    const auto b = static_cast<unsigned char>(line[i]);
    if (!isName(b)) continue;
    const bool before = i == 0 || IsDelimiter(line[i - 1]);
    const bool after = i + 1 == size || IsDelimiter(line[i + 1]);
    if ((before && after) || (i > 0 && line[i - 1] == '@')) mark(b);
  }
}

// The name bytes a line holds where they could be replaced, as a set.
using ByteSet = std::array<std::uint64_t, 4>;
ByteSet ReplaceableNameBytes(std::string_view line, const std::array<bool, 256>& isName) {
  ByteSet held{};
  ForEachReplaceablePlace(line, [&isName](unsigned char b) { return isName[b]; },
                          [&held](unsigned char b) { held[b >> 6] |= std::uint64_t{1} << (b & 63); });
  return held;
}

// Which of up to 64 name bytes each line holds where they could be
// replaced, one bit per byte, so that each one-byte name's pass over the
// program reads a word per line instead of the line. A line's bits are
// worked out again whenever it is rewritten.
class NameBytesPerLine {
 public:
  NameBytesPerLine(const CompileRun& run, std::span<const Definition> rows) {
    int bits = 0;
    for (const Definition& definition : rows) {
      const auto byte = static_cast<unsigned char>(definition.Name[0]);
      if (definition.Name.size() == 1 && bits < 64 && !bitOf_[byte]) bitOf_[byte] = std::uint64_t{1} << bits++;
    }
    low_.resize(static_cast<std::size_t>(run.LineCount) + 1);
    if (bits > 32) high_.resize(low_.size());
    for (std::int32_t r = 1; r <= run.LineCount; ++r) Update(r, run.Line(r));
  }
  // False only when line r surely does not hold `name`.
  bool MayHold(std::int32_t r, char name) const {
    const std::uint64_t bit = bitOf_[static_cast<unsigned char>(name)];
    const auto at = static_cast<std::size_t>(r);
    return bit == 0 || ((low_[at] | (high_.empty() ? 0 : std::uint64_t{high_[at]} << 32)) & bit) != 0;
  }
  // Only a name that stands between delimiter bytes (or the line's ends)
  // or after an "@" can be replaced, so only such a place sets its bit.
  void Update(std::int32_t r, std::string_view line) {
    std::uint64_t held = 0;
    ForEachReplaceablePlace(line, [this](unsigned char b) { return bitOf_[b] != 0; },
                            [this, &held](unsigned char b) { held |= bitOf_[b]; });
    low_[static_cast<std::size_t>(r)] = static_cast<std::uint32_t>(held);
    if (!high_.empty()) high_[static_cast<std::size_t>(r)] = static_cast<std::uint32_t>(held >> 32);
  }

 private:
  std::array<std::uint64_t, 256> bitOf_{};
  // By 1-based line number: the bits of the first 32 names, and of the
  // rest when there are more.
  std::vector<std::uint32_t> low_, high_;
};

// Which lines a one-byte name's turn must look at. A turn leaves no line
// from its scope line on where its name could be replaced again, unless a
// later turn rewrote the line or the value itself could bring the name back
// (it holds the name, an "@" or a byte of a double-byte character, or the
// name is itself a delimiter or such a byte). So a name's next turn looks at every line only before the
// scope line of its last turn, and from there on only at the lines
// rewritten since: a name defined again with the same value costs nothing.
class OneByteTurns {
 public:
  // The lines (1-based, ascending) that the turn of `name` from line
  // `scope` on must look at, or false when it must look at every line
  // from `scope` on that may hold the name. `fullBefore` is then the line
  // before which every line is to be looked at.
  bool DirtyLines(char name, std::int32_t scope, std::int32_t& fullBefore, std::vector<std::int32_t>& lines) const {
    const auto b = static_cast<unsigned char>(name);
    if (cleanFrom_[b] == kNever) return false;
    fullBefore = std::max(scope, cleanFrom_[b]);
    lines.clear();
    for (std::size_t e = logFrom_[b]; e < log_.size(); ++e)
      if (log_[e].line >= fullBefore && log_[e].keptClean != b) lines.push_back(log_[e].line);
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return true;
  }
  // A turn of `name` from `scope` on begins.
  void Begin(char name, std::int32_t scope, std::string_view value) {
    const auto b = static_cast<unsigned char>(name);
    cleanFrom_[b] = scope;
    logFrom_[b] = log_.size();
    ownMark_ = kAll;
    if (kDelimiter.is[b] || b >= 0x80) return;
    for (const char c : value)
      if (c == name || c == '@' || static_cast<unsigned char>(c) >= 0x80) return;
    ownMark_ = b;
  }
  // The turn under way rewrote line n.
  void Rewrote(std::int32_t n) { log_.push_back({n, ownMark_}); }

 private:
  static constexpr std::int32_t kNever = INT32_MAX;
  static constexpr std::uint16_t kAll = 256;
  struct Entry {
    std::int32_t line;
    std::uint16_t keptClean;  // the name whose own turn left the line clean, or kAll
  };
  std::array<std::int32_t, 256> cleanFrom_ = MakeNever();
  std::array<std::size_t, 256> logFrom_{};
  std::vector<Entry> log_;
  std::uint16_t ownMark_ = kAll;

  static std::array<std::int32_t, 256> MakeNever() {
    std::array<std::int32_t, 256> never;
    never.fill(kNever);
    return never;
  }
};

// The turns of the one-byte names, in table order, and for each name byte
// the turns that replace it.
struct OneByteNameTurns {
  struct Turn {
    Turn(std::size_t row, const Definition& definition)
        : row(row), definition(definition), name(definition.Name[0]), scope(std::max(definition.ScopeStartLine, 1)),
          form(definition.Name, definition.Value) {
      arrayMark.append("@").append(definition.Name);
    }
    std::size_t row;
    const Definition& definition;
    char name;
    std::int32_t scope;  // the first line it replaces in
    ArrayForm form;
    std::string arrayMark;
  };

  OneByteNameTurns(const std::vector<Definition>& table, std::size_t rows) {
    for (std::size_t i = 0; i < rows; ++i)
      if (table[i].Name.size() == 1) turns.emplace_back(i, table[i]);
    for (std::size_t k = 0; k < turns.size(); ++k) {
      const auto b = static_cast<unsigned char>(turns[k].name);
      isName[b] = true;
      turnsOf[b].push_back(static_cast<std::uint32_t>(k));
    }
    // The smallest scope from each turn of a byte on, so that the turns
    // whose scope starts below a line are skipped at once.
    for (std::size_t b = 0; b < 256; ++b) {
      std::vector<std::int32_t>& least = leastScopeFrom[b];
      least.resize(turnsOf[b].size());
      std::int32_t lowest = INT32_MAX;
      for (std::size_t j = turnsOf[b].size(); j-- > 0;) least[j] = lowest = std::min(lowest, turns[turnsOf[b][j]].scope);
    }
  }

  // The first turn from `after` on that replaces byte b in line r, or
  // kNone.
  std::uint32_t NextFor(unsigned char b, std::uint32_t after, std::int32_t r) const {
    const std::vector<std::uint32_t>& list = turnsOf[b];
    auto j = static_cast<std::size_t>(std::lower_bound(list.begin(), list.end(), after) - list.begin());
    for (; j < list.size(); ++j) {
      if (leastScopeFrom[b][j] > r) return kNone;
      if (turns[list[j]].scope <= r) return list[j];
    }
    return kNone;
  }

  static constexpr std::uint32_t kNone = UINT32_MAX;
  std::vector<Turn> turns;
  std::array<bool, 256> isName{};
  std::array<std::vector<std::uint32_t>, 256> turnsOf;
  std::array<std::vector<std::int32_t>, 256> leastScopeFrom;
};

// Turn i replaces its name in line r when r is in its scope, so each line
// can go through the turns on its own, in table order: a line is looked
// at for the name bytes it holds where they could be replaced, a rewritten
// line is looked at again, and it is stored once. A name defined again
// with the same value then costs a look at the table, since its first turn
// left no such place. Growth is judged as GrowthByTurn says. Returns the
// first line not stored.
std::int32_t ReplaceOneByteNamesLineByLine(CompileRun& run, StageFrame& frame, const OneByteNameTurns& table,
                                           const TextGrowthLimit& growth, GrowthByTurn& growthByTurn) {
  const auto rows = static_cast<std::int64_t>(std::max(DefinitionRowsInUse(run), std::size_t{1}));
  std::string current, edited, scratch;
  std::uint32_t lastTurn = OneByteNameTurns::kNone;
  for (std::int32_t r = 1; r <= run.LineCount; ++r) {
    if ((r & 0xFFF) == 0) {
      if (lastTurn != OneByteNameTurns::kNone) {
        const auto& turn = table.turns[lastTurn];
        frame.ShowActivity(ReplacingText(turn.row + 1, turn.definition));
      }
      frame.SetProgress(static_cast<std::int32_t>(rows * r / std::max(run.LineCount, 1)));
    }
    std::string_view text = run.Line(r);
    ByteSet held = ReplaceableNameBytes(text, table.isName);
    if ((held[0] | held[1] | held[2] | held[3]) == 0) continue;
    growthByTurn.StartLine();
    std::uint32_t after = 0;  // the turns before it are done for this line
    for (;;) {
      std::uint32_t next = OneByteNameTurns::kNone;
      for (unsigned word = 0; word < 4; ++word)
        for (std::uint64_t bits = held[word]; bits != 0; bits &= bits - 1)
          next = std::min(next, table.NextFor(static_cast<unsigned char>(word * 64 + static_cast<unsigned>(std::countr_zero(bits))), after, r));
      if (next == OneByteNameTurns::kNone) break;
      after = next + 1;
      const auto& turn = table.turns[next];
      const bool replaced = ContainsAtCharStart(text, turn.arrayMark)
                                ? turn.form.ExpandInto(text, edited, scratch) > 0
                                : ReplaceBetweenDelimiters(text, turn.name, turn.definition.Value, edited);
      if (!replaced) continue;
      if (!growthByTurn.Grew(next, text.size(), edited.size(), growth)) return r;
      current.swap(edited);
      text = current;
      held = ReplaceableNameBytes(text, table.isName);
    }
    if (!growthByTurn.LineChanged()) continue;
    run.SetLine(r, text);
    growthByTurn.LineStored();
    lastTurn = growthByTurn.LastTurn();
  }
  return run.LineCount + 1;
}

// The same turns one turn at a time over the lines from `firstLine` on, the
// lines before it already through every turn, with what each turn did to
// them in `growthByTurn`. Stops at the turn whose growth takes the text
// beyond its bound.
void ReplaceOneByteNamesTurnByTurn(CompileRun& run, StageFrame& frame, const OneByteNameTurns& table,
                                   std::int32_t firstLine, const GrowthByTurn& growthByTurn,
                                   TextGrowthLimit& growth) {
  std::string scratch, edited;
  NameBytesPerLine nameBytes(run, std::span(run.DefinitionTable).first(DefinitionRowsInUse(run)));
  OneByteTurns turns;
  std::vector<std::int32_t> dirty;
  for (std::size_t k = 0; k < table.turns.size(); ++k) {
    const auto& turn = table.turns[k];
    frame.ShowActivity(ReplacingText(turn.row + 1, turn.definition));
    if (!growthByTurn.CountStored(k, turn.row, growth)) return;
    const char name = turn.name;
    // Rewrites line r where the name is replaced; false when the text
    // has grown beyond its bound.
    auto visit = [&](std::int32_t r) {
      if (!nameBytes.MayHold(r, name)) return true;
      const std::string_view held = run.Line(r);
      if (held.empty() || std::memchr(held.data(), name, held.size()) == nullptr) return true;
      const bool replaced = ContainsAtCharStart(held, turn.arrayMark) ? turn.form.ExpandInto(held, edited, scratch) > 0
                                                                      : ReplaceBetweenDelimiters(held, name, turn.definition.Value, edited);
      if (!replaced) return true;
      const std::size_t before = held.size();
      run.SetLine(r, edited);
      nameBytes.Update(r, edited);
      turns.Rewrote(r);
      return growth.Allows(turn.row, before, edited.size());
    };
    const std::int32_t scope = std::max(turn.scope, firstLine);
    std::int32_t fullBefore = run.LineCount + 1;
    const bool fromLog = turns.DirtyLines(name, scope, fullBefore, dirty);
    turns.Begin(name, scope, turn.definition.Value);
    bool allowed = true;
    for (std::int32_t r = scope; allowed && r <= run.LineCount && r < fullBefore; ++r) allowed = visit(r);
    if (fromLog)
      for (std::size_t d = 0; allowed && d < dirty.size() && dirty[d] <= run.LineCount; ++d) allowed = visit(dirty[d]);
    if (!allowed) return;
    frame.SetProgress(static_cast<std::int32_t>(turn.row + 1));
  }
}

}  // namespace

StageEnd RunOneByteNameReplacement(CompileRun& run, StageFrame& frame) {
  frame.AppendLog("定義ﾃﾞｰﾀ置換 -- 開始");

  const OneByteNameTurns table(run.DefinitionTable, DefinitionRowsInUse(run));
  if (!table.turns.empty()) {
    TextGrowthLimit growth(run);
    GrowthByTurn growthByTurn(table.turns.size());
    const std::int32_t stoppedAt = ReplaceOneByteNamesLineByLine(run, frame, table, growth, growthByTurn);
    if (stoppedAt <= run.LineCount) {
      ReplaceOneByteNamesTurnByTurn(run, frame, table, stoppedAt, growthByTurn, growth);
      if (growth.RunawayRow()) return StopRunawayGrowth(frame, "定義ﾃﾞｰﾀ置換", run.DefinitionTable[*growth.RunawayRow()]);
    }
  }
  frame.SetProgress(static_cast<std::int32_t>(DefinitionRowsInUse(run)));

  frame.AppendLog("定義ﾃﾞｰﾀ置換 -- 完了");
  frame.AppendLog("");
  return StageEnd::Continue;
}
}  // namespace vostrel
