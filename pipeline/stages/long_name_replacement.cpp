// 外部定義ﾃﾞｰﾀ置換: names of two or more bytes become their values.
//
// Names of two or more bytes are replaced as plain substrings of the whole
// text, longest names first and rows of one length in table order, so that a
// value inserted by one row is scanned again by every later row. Where
// "@" + name occurs, the array form "@name[" becomes "#[" + value + "+"
// before the plain replacement.

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/definition_values.h"
#include "pipeline/stages/name_matcher.h"
#include "pipeline/stages/stages.h"
#include "pipeline/text_growth.h"
#include "text/sjis.h"

namespace vostrel {

namespace {

// The array form: "@" + name + "[" becomes "#[" + value + "+", then every
// other occurrence of the name becomes the value. Returns the number of
// replacements made.
std::size_t ExpandArray(std::string& text, std::string_view name, std::string_view value) {
  std::string open;
  open.reserve(name.size() + 2);
  open.append("@").append(name).append("[");
  std::string head;
  head.reserve(value.size() + 3);
  head.append("#[").append(value).append("+");
  const std::size_t arrays = sjis::ReplaceAllInPlace(text, open, head);
  return arrays + sjis::ReplaceAllInPlace(text, name, value);
}

// The rows whose name may occur in the text, so that a name that certainly
// does not occur costs no search of the whole text. One scan of the text
// finds the names present at the start. After that a name can only turn up
// where text was inserted: a new occurrence overlaps the inserted bytes, so
// it shares a byte with them; where text was removed without a value in its
// place, any name may have formed across the gap. Names that may have left
// the text stay candidates; the search that follows settles them.
class NameCandidates {
 public:
  NameCandidates(const std::vector<Definition>& table, std::size_t rows, std::string_view text)
      : candidate_(rows, 0) {
    // Names of two bytes or more by their text, and the name lengths that
    // follow each first pair of bytes; a hit in the scan costs one lookup
    // per length of that pair, however many names share it.
    std::unordered_map<std::string_view, std::vector<std::uint32_t>> rowsByName;
    std::vector<std::uint32_t> groupOfPair(1 << 16, 0);  // 0: no name starts so
    std::vector<std::vector<std::size_t>> lengthsOfGroup;
    for (std::size_t row = 0; row < rows; ++row) {
      const std::string& name = table[row].Name;
      if (name.size() < 2) continue;
      rowsByName[name].push_back(static_cast<std::uint32_t>(row));
      std::uint32_t& group = groupOfPair[Pair(name[0], name[1])];
      if (group == 0) {
        lengthsOfGroup.emplace_back();
        group = static_cast<std::uint32_t>(lengthsOfGroup.size());
      }
      std::vector<std::size_t>& lengths = lengthsOfGroup[group - 1];
      if (std::find(lengths.begin(), lengths.end(), name.size()) == lengths.end())
        lengths.push_back(name.size());
      bool inName[256] = {};
      for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (!inName[b]) rowsWithByte_[b].push_back(static_cast<std::uint32_t>(row));
        inName[b] = true;
      }
    }
    for (std::size_t p = 0; p + 1 < text.size() && !rowsByName.empty(); ++p) {
      const std::uint32_t group = groupOfPair[Pair(text[p], text[p + 1])];
      if (group == 0) continue;
      for (const std::size_t length : lengthsOfGroup[group - 1]) {
        if (length > text.size() - p) continue;
        const auto hit = rowsByName.find(text.substr(p, length));
        if (hit == rowsByName.end()) continue;
        for (const std::uint32_t row : hit->second) candidate_[row] = 1;
        rowsByName.erase(hit);  // found once is enough
      }
    }
    mayHaveAt_ = text.find('@') != std::string_view::npos;
  }

  bool MayOccur(std::size_t row) const { return candidate_[row] != 0; }
  // Whether the text may hold an "@" (the mark of the array form).
  bool MayHaveAt() const { return mayHaveAt_; }

  // `bytes` were inserted into the text; an empty insertion closes a gap.
  void Inserted(std::string_view bytes) {
    if (bytes.empty()) {
      std::fill(candidate_.begin(), candidate_.end(), 1);
      return;
    }
    for (const char c : bytes) {
      const auto b = static_cast<unsigned char>(c);
      if (byteDone_[b]) continue;
      byteDone_[b] = true;
      for (const std::uint32_t row : rowsWithByte_[b]) candidate_[row] = 1;
      if (c == '@') mayHaveAt_ = true;
    }
  }

 private:
  static std::uint16_t Pair(char a, char b) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(a) << 8 | static_cast<unsigned char>(b));
  }

  std::vector<char> candidate_;
  std::array<std::vector<std::uint32_t>, 256> rowsWithByte_;
  std::array<bool, 256> byteDone_{};
  bool mayHaveAt_ = false;
};


// The turns of the names of two or more bytes: longest names first, rows
// of one length in table order, with the matcher that finds them all.
struct LongNameTurns {
  LongNameTurns(const std::vector<Definition>& table, const std::vector<std::size_t>& lengths, std::size_t rows)
      : table(table) {
    for (const std::size_t length : lengths)
      for (std::size_t i = 0; i < rows; ++i)
        if (table[i].Name.size() == length) rowOfTurn.push_back(i);
    std::array<bool, 256> inName{};
    for (const std::size_t i : rowOfTurn) {
      names.push_back(table[i].Name);
      forms.emplace_back(table[i].Name, table[i].Value);
      for (const char c : table[i].Name) inName[static_cast<unsigned char>(c)] = true;
    }
    // A turn whose value (and array form) holds no byte of any name, and
    // is not empty, cannot bring a name into a line: a new occurrence would
    // share a byte with what it inserted.
    for (const std::size_t i : rowOfTurn) {
      const std::string& value = table[i].Value;
      bool bringsNone = !value.empty();
      for (const char c : value + "#[+") bringsNone = bringsNone && !inName[static_cast<unsigned char>(c)];
      bringsNoName.push_back(bringsNone);
      bringsAt.push_back(value.find('@') != std::string::npos);
    }
    matcher.emplace(names);
  }
  const Definition& Of(std::size_t turn) const { return table[rowOfTurn[turn]]; }

  const std::vector<Definition>& table;
  std::vector<std::size_t> rowOfTurn;
  std::vector<std::string_view> names;
  std::vector<ArrayForm> forms;
  std::vector<bool> bringsNoName;  // by turn: its value cannot make a name occur
  std::vector<bool> bringsAt;      // by turn: its value holds an "@"
  std::optional<NameMatcher> matcher;
};

// Replacing in the whole text is replacing in every line as long as no name
// holds a CR or LF: no occurrence then spans a line break, and values hold
// no line break either, so nothing joins or splits lines, and each line can
// go through all the turns on its own. A line is scanned once for every
// name it holds; the turns of those names are taken in order, and a line
// that a turn changed is scanned again for the names whose turn is still to
// come (unless the turn's value cannot bring one in). A line that holds no
// name is not touched, and a rewritten line is stored once.
//
// Growth is judged as GrowthByTurn says; where the text might pass its
// bound, ReplaceTurnByTurn takes the lines not yet stored. Returns the first
// line not stored.
std::size_t ReplaceLineByLine(CompileRun& run, StageFrame& frame, const LongNameTurns& turns,
                              const TextGrowthLimit& growth, GrowthByTurn& growthByTurn, bool& changed) {
  const NameMatcher& matcher = *turns.matcher;
  const std::size_t lineCount = run.WorkLines.size();
  const auto rows = static_cast<std::int64_t>(std::max(DefinitionRowsInUse(run), std::size_t{1}));
  std::vector<std::uint32_t> held;                             // the turns the line's last scan found
  std::string current, edited, scratch;
  std::uint32_t lastTurn = NameMatcher::kNone;
  auto note = [&](std::uint32_t k) { held.push_back(k); };
  for (std::size_t line = 0; line < lineCount; ++line) {
    if ((line & 0xFFF) == 0 && line > 0) {
      if (lastTurn != NameMatcher::kNone) frame.ShowActivity(ReplacingText(turns.rowOfTurn[lastTurn] + 1, turns.Of(lastTurn)));
      frame.SetProgress(static_cast<std::int32_t>(rows * static_cast<std::int64_t>(line) / static_cast<std::int64_t>(lineCount)));
    }
    std::string_view text = run.WorkLines[line];
    held.clear();
    bool mayHoldAt = matcher.Scan(text, note);
    if (held.empty()) continue;
    growthByTurn.StartLine();
    std::uint32_t after = 0;  // the turns before it are done for this line
    for (;;) {
      // The next turn of a name the line holds: the first turn, from
      // `after` on, of each name text found.
      std::uint32_t next = NameMatcher::kNone;
      std::size_t nextText = 0;  // its place in `held`
      for (std::size_t j = 0; j < held.size(); ++j) {
        std::uint32_t& k = held[j];
        while (k != NameMatcher::kNone && k < after) k = matcher.NextOfText(k);
        if (k < next) next = k, nextText = j;
      }
      if (next == NameMatcher::kNone) break;
      after = next + 1;
      // A name that is not replaced leaves the line as it was, and so do
      // the later turns of the same name: they are passed over.
      if (turns.forms[next].ExpandInto(text, edited, scratch, mayHoldAt) == 0) {
        held[nextText] = NameMatcher::kNone;
        continue;
      }
      if (!growthByTurn.Grew(next, text.size(), edited.size(), growth)) return line;
      current.swap(edited);
      text = current;
      // The names found before still cover the line when the turn could
      // bring in none; a name that went with the replaced text is visited
      // in vain.
      if (turns.bringsNoName[next]) {
        mayHoldAt = mayHoldAt || turns.bringsAt[next];
        continue;
      }
      held.clear();
      mayHoldAt = matcher.Scan(text, note);
    }
    if (!growthByTurn.LineChanged()) continue;
    run.WorkLines.assign(line, text);
    changed = true;
    growthByTurn.LineStored();
    lastTurn = growthByTurn.LastTurn();
  }
  return lineCount;
}

// The same turns one turn at a time over the lines from `firstLine` on, the
// lines before it already through every turn, with what each turn did to
// them in `growthByTurn`: each line is visited only for the names it holds,
// listed by one pass of the matcher, and a line that a turn changed is
// scanned again for the names whose turn is still to come. Stops at the
// turn whose growth takes the text beyond its bound.
void ReplaceTurnByTurn(CompileRun& run, StageFrame& frame, const LongNameTurns& turns, std::size_t firstLine,
                       const GrowthByTurn& growthByTurn, TextGrowthLimit& growth, bool& changed) {
  const NameMatcher& matcher = *turns.matcher;
  // A line is listed for the first turn of each name text it holds that is
  // still to come: a row defined again only meets the lines where its
  // earlier turn left the name (or where a later value brought it back),
  // which a rewritten line's new scan lists.
  std::vector<std::vector<std::uint32_t>> linesOf(turns.names.size());
  bool anyAt = false;  // whether any line may hold an "@"
  auto scan = [&](std::size_t line, std::size_t after) {
    anyAt |= matcher.Scan(run.WorkLines[line], [&](std::uint32_t k) {
      while (k != NameMatcher::kNone && k < after) k = matcher.NextOfText(k);
      if (k == NameMatcher::kNone) return;
      auto& lines = linesOf[k];
      if (lines.empty() || lines.back() != line) lines.push_back(static_cast<std::uint32_t>(line));
    });
  };
  for (std::size_t line = firstLine; line < run.WorkLines.size(); ++line) scan(line, 0);

  // A line may be listed twice for one name (found at the start and again
  // after an earlier replacement); it is replaced once, since a value that
  // holds its own name must not be replaced again.
  std::vector<bool> done(run.WorkLines.size(), false);  // lines met in the turn under way
  std::string edited, scratch;
  std::size_t previousLength = SIZE_MAX;
  for (std::size_t k = 0; k < turns.names.size(); ++k) {
    const std::size_t row = turns.rowOfTurn[k];
    const Definition& definition = turns.Of(k);
    if (definition.Name.size() != previousLength && previousLength != SIZE_MAX) frame.SetProgress(0);
    previousLength = definition.Name.size();
    frame.ShowActivity(ReplacingText(row + 1, definition));
    if (!growthByTurn.CountStored(k, row, growth)) return;
    for (const std::uint32_t line : linesOf[k]) {
      if (done[line]) continue;
      done[line] = true;
      // "@name[" becomes "#[value+" first; where the line holds none
      // that step changes nothing, as in a text without the array form.
      const std::string_view held = run.WorkLines[line];
      const std::size_t before = held.size();
      if (turns.forms[k].ExpandInto(held, edited, scratch, anyAt) == 0) continue;
      run.WorkLines.assign(line, edited);
      changed = true;
      if (!growth.Allows(row, before, edited.size())) return;
      scan(line, k + 1);
    }
    for (const std::uint32_t line : linesOf[k]) done[line] = false;
    linesOf[k] = {};
    frame.SetProgress(static_cast<std::int32_t>(row + 1));
  }
  frame.SetProgress(0);
}

bool ReplaceLongNamesByLine(CompileRun& run, StageFrame& frame, const std::vector<std::size_t>& lengths,
                            std::size_t rows, TextGrowthLimit& growth) {
  const LongNameTurns turns(run.DefinitionTable, lengths, rows);
  GrowthByTurn growthByTurn(turns.names.size());
  bool changed = false;
  const std::size_t stoppedAt = ReplaceLineByLine(run, frame, turns, growth, growthByTurn, changed);
  if (stoppedAt < run.WorkLines.size()) ReplaceTurnByTurn(run, frame, turns, stoppedAt, growthByTurn, growth, changed);
  frame.SetProgress(0);
  // The whole text set back: an empty text is no lines.
  if (changed && run.WorkLines.size() == 1 && run.WorkLines.front().empty()) run.ClearLines();
  return changed;
}

}  // namespace

StageEnd RunLongNameReplacement(CompileRun& run, StageFrame& frame) {
  frame.AppendLog("外部定義ﾃﾞｰﾀ置換 -- 開始");

  const std::size_t rows = DefinitionRowsInUse(run);
  const std::vector<Definition>& table = run.DefinitionTable;
  // The name lengths of two bytes or more that occur, longest first.
  std::vector<std::size_t> lengths;
  for (std::size_t i = 0; i < rows; ++i)
    if (table[i].Name.size() >= 2) lengths.push_back(table[i].Name.size());
  std::sort(lengths.begin(), lengths.end(), std::greater<>());
  lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());

  const bool lineBreakInName = std::any_of(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(rows),
                                          [](const Definition& d) {
                                            return d.Name.size() >= 2 && d.Name.find_first_of("\r\n") != std::string::npos;
                                          });
  TextGrowthLimit growth(run);
  if (!lengths.empty() && !lineBreakInName) {
    if (ReplaceLongNamesByLine(run, frame, lengths, rows, growth)) frame.WorkTextReplaced();
    if (growth.RunawayRow()) return StopRunawayGrowth(frame, "外部定義ﾃﾞｰﾀ置換", table[*growth.RunawayRow()]);
  } else if (!lengths.empty()) {
    // A name with a line break in it can match across lines: the whole
    // text stays one buffer for the whole pass and is set back once.
    std::string text = run.WholeText();
    NameCandidates candidates(table, rows, text);
    bool changed = false;
    std::string arrayMark;
    for (const std::size_t length : lengths) {
      for (std::size_t i = 0; i < rows; ++i) {
        const Definition& definition = table[i];
        if (definition.Name.size() == length) {
          frame.ShowActivity(ReplacingText(i + 1, definition));
          // The array form is looked for only when the name occurs; without
          // any "@" in the text the plain replacement is the search itself.
          std::size_t count = 0;
          const std::size_t before = text.size();
          if (!candidates.MayOccur(i)) {
            // certainly absent
          } else if (!candidates.MayHaveAt()) {
            count = sjis::ReplaceAllInPlace(text, definition.Name, definition.Value);
          } else if (sjis::FindBytes(text, definition.Name) != std::string::npos) {
            arrayMark.assign("@").append(definition.Name);
            if (sjis::FindBytes(text, arrayMark) != std::string::npos) {
              count = ExpandArray(text, definition.Name, definition.Value);
              if (count > 0) candidates.Inserted("#[+");
            } else {
              count = sjis::ReplaceAllInPlace(text, definition.Name, definition.Value);
            }
          }
          if (count > 0) {
            candidates.Inserted(definition.Value);
            changed = true;
            if (!growth.Allows(i, before, text.size()))
              return StopRunawayGrowth(frame, "外部定義ﾃﾞｰﾀ置換", definition);
          }
        }
        frame.SetProgress(static_cast<std::int32_t>(i + 1));
      }
      frame.SetProgress(0);
    }
    if (changed) {
      run.SetWholeText(text);
      frame.WorkTextReplaced();
    }
  }

  frame.AppendLog("外部定義ﾃﾞｰﾀ置換 -- 完了");
  frame.AppendLog("");
  frame.StartProgress(run.DefinitionCount);
  return StageEnd::Continue;
}

}  // namespace vostrel
