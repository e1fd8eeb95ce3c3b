// 外部定義ﾃﾞｰﾀ置換 and 定義ﾃﾞｰﾀ置換: defined names become their values.
//
// Names of two or more bytes are replaced as plain substrings of the whole
// text, longest names first and rows of one length in table order, so that a
// value inserted by one row is scanned again by every later row. One-byte
// names are replaced line by line from their scope line on, and only where
// they stand between delimiters. Where "@" + name occurs, the array form
// "@name[" becomes "#[" + value + "+" before the plain replacement.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <vector>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"
#include "text/sjis.h"

namespace vostrel {

namespace {

std::size_t UsedRows(const CompileRun& run) {
  const auto count = static_cast<std::size_t>(run.DefinitionCount > 0 ? run.DefinitionCount : 0);
  return count < run.DefinitionTable.size() ? count : run.DefinitionTable.size();
}

// "0003: PITCH を 1.5 に置換中"
std::string ReplacingText(std::size_t row, const Definition& definition) {
  return StageFrame::LineNumberText(static_cast<std::int32_t>(row)) + ": " +
         sjis::ToUtf8(definition.Name) + " を " + sjis::ToUtf8(definition.Value) + " に置換中";
}

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
// delimiters becomes `value`. At the start or end of the line only the one
// neighbour counts; a line that is the name alone stays. Neighbours are
// judged in the line as it was. `scratch` is reused between calls.
void ReplaceBetweenDelimiters(std::string& line, char name, std::string_view value,
                              std::string& scratch) {
  const std::size_t len = line.size();
  if (len < 2) return;
  const char* data = line.data();
  bool replaced = false;
  std::size_t copied = 0;
  for (const void* hit = std::memchr(data, name, len); hit;) {
    const std::size_t c = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
    const bool before = c == 0 || IsDelimiter(data[c - 1]);
    const bool after = c + 1 == len || IsDelimiter(data[c + 1]);
    if (before && after) {
      if (!replaced) {
        scratch.clear();
        scratch.reserve(len + value.size() * 2);
        replaced = true;
      }
      scratch.append(data + copied, c - copied);
      scratch.append(value);
      copied = c + 1;
    }
    hit = c + 1 < len ? std::memchr(data + c + 1, name, len - c - 1) : nullptr;
  }
  if (!replaced) return;
  scratch.append(data + copied, len - copied);
  line.swap(scratch);
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


// All names of two or more bytes at once: a byte automaton over the names
// (each state knows where to go on every byte, and which names end there)
// that reports in one pass over a text every name occurring in it. Bytes
// that no name holds share one column of the table.
class NameMatcher {
 public:
  explicit NameMatcher(const std::vector<std::string_view>& names) {
    for (const auto name : names)
      for (const char c : name) column_[static_cast<unsigned char>(c)] = 1;
    for (auto& column : column_)
      if (column) column = ++columns_;
    ++columns_;  // column 0: every other byte
    AddState();
    for (std::size_t k = 0; k < names.size(); ++k) {
      std::int32_t state = 0;
      for (const char c : names[k]) {
        if (Next(state, c) == 0) {
          const std::int32_t added = AddState();  // grows the table: no reference kept across it
          Next(state, c) = added;
        }
        state = Next(state, c);
      }
      ends_[static_cast<std::size_t>(state)].push_back(static_cast<std::uint32_t>(k));
    }
    // Breadth first: complete every state's moves with those of its longest
    // proper suffix state, and link it to the nearest suffix that ends a name.
    std::vector<std::int32_t> suffix(states_, 0), queue;
    for (std::int32_t col = 0; col < columns_; ++col)
      if (const std::int32_t s = next_[static_cast<std::size_t>(col)]) queue.push_back(s);
    for (std::size_t head = 0; head < queue.size(); ++head) {
      const std::int32_t state = queue[head];
      const std::int32_t fail = suffix[static_cast<std::size_t>(state)];
      output_[static_cast<std::size_t>(state)] =
          ends_[static_cast<std::size_t>(fail)].empty() ? output_[static_cast<std::size_t>(fail)] : fail;
      for (std::int32_t col = 0; col < columns_; ++col) {
        std::int32_t& cell = next_[Cell(state, col)];
        const std::int32_t viaFail = next_[Cell(fail, col)];
        if (cell != 0) {
          suffix[static_cast<std::size_t>(cell)] = viaFail;
          queue.push_back(cell);
        } else {
          cell = viaFail;
        }
      }
    }
  }

  // Calls found(k) for every name k occurring in `text` (once per place).
  template <class Found>
  void Scan(std::string_view text, Found&& found) const {
    std::int32_t state = 0;
    for (const char c : text) {
      state = next_[Cell(state, column_[static_cast<unsigned char>(c)])];
      for (std::int32_t s = ends_[static_cast<std::size_t>(state)].empty() ? output_[static_cast<std::size_t>(state)] : state;
           s != 0; s = output_[static_cast<std::size_t>(s)])
        for (const std::uint32_t k : ends_[static_cast<std::size_t>(s)]) found(k);
    }
  }

 private:
  std::size_t Cell(std::int32_t state, std::int32_t column) const {
    return static_cast<std::size_t>(state) * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(column);
  }
  std::int32_t& Next(std::int32_t state, char c) {
    return next_[Cell(state, column_[static_cast<unsigned char>(c)])];
  }
  std::int32_t AddState() {
    next_.resize(next_.size() + static_cast<std::size_t>(columns_), 0);
    ends_.emplace_back();
    output_.push_back(0);
    return states_++;
  }

  std::array<std::int32_t, 256> column_{};
  std::int32_t columns_ = 0;
  std::int32_t states_ = 0;
  std::vector<std::int32_t> next_;                 // states x columns
  std::vector<std::vector<std::uint32_t>> ends_;   // names ending in a state
  std::vector<std::int32_t> output_;               // nearest suffix state that ends names
};

// Replacing in the whole text is replacing in every line as long as no name
// holds a CR or LF: no occurrence then spans a line break, and values hold
// no line break either, so nothing joins or splits lines. Each line is then
// visited only for the names it holds: one pass of the matcher lists the
// lines of every name, and a line that a replacement changed is scanned
// again for the names whose turn is still to come.
bool ReplaceLongNamesByLine(CompileRun& run, StageFrame& frame, const std::vector<std::size_t>& lengths,
                            std::size_t rows) {
  const std::vector<Definition>& table = run.DefinitionTable;
  std::vector<std::size_t> order;  // rows in the order of their turn
  for (const std::size_t length : lengths)
    for (std::size_t i = 0; i < rows; ++i)
      if (table[i].Name.size() == length) order.push_back(i);
  std::vector<std::string_view> names;
  for (const std::size_t i : order) names.push_back(table[i].Name);
  const NameMatcher matcher(names);

  std::vector<std::vector<std::uint32_t>> linesOf(order.size());
  auto scan = [&](std::size_t line, std::size_t after) {
    matcher.Scan(run.WorkLines[line], [&](std::uint32_t k) {
      auto& lines = linesOf[k];
      if (k >= after && (lines.empty() || lines.back() != line)) lines.push_back(static_cast<std::uint32_t>(line));
    });
  };
  for (std::size_t line = 0; line < run.WorkLines.size(); ++line) scan(line, 0);

  // A line may be listed twice for one name (found at the start and again
  // after an earlier replacement); it is replaced once, since a value that
  // holds its own name must not be replaced again.
  std::vector<std::uint32_t> doneFor(run.WorkLines.size(), 0);  // k + 1 of the last turn
  bool changed = false;
  std::size_t k = 0;
  for (const std::size_t length : lengths) {
    for (std::size_t i = 0; i < rows; ++i) {
      const Definition& definition = table[i];
      if (definition.Name.size() == length) {
        frame.ShowActivity(ReplacingText(i + 1, definition));
        for (const std::uint32_t line : linesOf[k]) {
          if (doneFor[line] == k + 1) continue;
          doneFor[line] = static_cast<std::uint32_t>(k + 1);
          // "@name[" becomes "#[value+" first; where the line holds none
          // that step changes nothing, as in a text without the array form.
          if (ExpandArray(run.WorkLines[line], definition.Name, definition.Value) == 0) continue;
          changed = true;
          scan(line, k + 1);
        }
        linesOf[k] = {};
        ++k;
      }
      frame.SetProgress(static_cast<std::int32_t>(i + 1));
    }
    frame.SetProgress(0);
  }
  // The whole text set back: an empty text is no lines.
  if (changed && run.WorkLines.size() == 1 && run.WorkLines.front().empty()) run.ClearLines();
  return changed;
}

}  // namespace

StageEnd RunLongNameReplacement(CompileRun& run, StageFrame& frame) {
  frame.AppendLog("外部定義ﾃﾞｰﾀ置換 -- 開始");

  const std::size_t rows = UsedRows(run);
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
  if (!lengths.empty() && !lineBreakInName) {
    if (ReplaceLongNamesByLine(run, frame, lengths, rows)) frame.WorkTextReplaced();
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

StageEnd RunOneByteNameReplacement(CompileRun& run, StageFrame& frame) {
  frame.AppendLog("定義ﾃﾞｰﾀ置換 -- 開始");

  const std::size_t rows = UsedRows(run);
  const std::vector<Definition>& table = run.DefinitionTable;
  std::string arrayMark, scratch;
  for (std::size_t i = 0; i < rows; ++i) {
    const Definition& definition = table[i];
    if (definition.Name.size() == 1) {
      frame.ShowActivity(ReplacingText(i + 1, definition));
      const char name = definition.Name[0];
      arrayMark.assign("@").append(definition.Name);
      for (std::int32_t r = std::max(definition.ScopeStartLine, 1); r <= run.LineCount; ++r) {
        std::string* line = run.MutableLine(r);
        if (!line || std::memchr(line->data(), name, line->size()) == nullptr) continue;
        if (ContainsAtCharStart(*line, arrayMark))
          ExpandArray(*line, definition.Name, definition.Value);
        else
          ReplaceBetweenDelimiters(*line, name, definition.Value, scratch);
      }
    }
    frame.SetProgress(static_cast<std::int32_t>(i + 1));
  }

  frame.AppendLog("定義ﾃﾞｰﾀ置換 -- 完了");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
