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
#include <span>
#include <unordered_map>
#include <vector>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"
#include "pipeline/text_growth.h"
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
// judged in the line as it was, character by character: the name must be a
// whole character, and a byte of a double-byte character is never a
// delimiter (the second byte of "ー", 0x5B, is no "["). `scratch` is reused
// between calls.
void ReplaceBetweenDelimiters(std::string& line, char name, std::string_view value,
                              std::string& scratch) {
  const std::size_t len = line.size();
  if (len < 2) return;
  const char* data = line.data();
  bool replaced = false;
  std::size_t copied = 0;
  for (const void* hit = std::memchr(data, name, len); hit;) {
    const std::size_t c = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
    const bool before = c == 0 || (IsDelimiter(data[c - 1]) && !sjis::IsSecondByte(line, c - 1));
    const bool after = (c + 1 == len || IsDelimiter(data[c + 1])) && sjis::CharLength(line, c) == 1;
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


// All names of two or more bytes at once: a tree of the names' bytes, each
// node linked to the longest proper suffix of its text that is also a node,
// reports in one pass over a text every name occurring in it. The nodes are
// numbered level by level with the children of a node side by side in byte
// order, so a node costs a few bytes whatever bytes the names hold: memory
// follows the total length of the names. Only the root, where a scan spends
// most of its time, has a move for every byte.
class NameMatcher {
 public:
  explicit NameMatcher(const std::vector<std::string_view>& names) : sameText_(names.size(), kNone) {
    // The names in byte order; `common[i]` is the length of the prefix that
    // name `order[i]` shares with the name before it in the order.
    std::vector<std::uint32_t> order(names.size());
    for (std::size_t k = 0; k < names.size(); ++k) order[k] = static_cast<std::uint32_t>(k);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return names[a] < names[b]; });
    std::vector<std::size_t> common(order.size(), 0);
    for (std::size_t i = 1; i < order.size(); ++i) {
      const std::string_view a = names[order[i - 1]], b = names[order[i]];
      const std::size_t most = std::min(a.size(), b.size());
      while (common[i] < most && a[common[i]] == b[common[i]]) ++common[i];
    }

    // Level d holds a node for every distinct prefix of length d. `node[i]`
    // is the node of the prefix of name order[i] so far; names shorter than
    // the level leave the list (the next name then shares with the one
    // before only what it shared with both).
    std::vector<std::uint32_t> node(order.size(), 0);
    std::size_t bytes = 1;  // at most one node per byte of the names, and the root
    for (const auto name : names) bytes += name.size();
    label_.reserve(bytes);
    ends_.reserve(bytes);
    firstChild_.reserve(bytes + 1);
    AddNode(0);
    firstChild_.push_back(kNone);
    for (std::size_t depth = 1; !order.empty(); ++depth) {
      std::size_t kept = 0;
      std::size_t carried = SIZE_MAX;
      std::uint32_t lastEnded = kNone;  // names of one text are side by side in the order
      for (std::size_t i = 0; i < order.size(); ++i) {
        const std::string_view name = names[order[i]];
        if (name.size() < depth) {
          if (lastEnded != kNone && names[lastEnded] == name) sameText_[lastEnded] = order[i];
          else ends_[node[i]] = order[i];
          lastEnded = order[i];
          carried = std::min(carried, common[i]);
          continue;
        }
        const std::size_t shared = std::min(common[i], carried);
        carried = SIZE_MAX;
        std::uint32_t here;
        if (kept > 0 && shared >= depth) {
          here = node[kept - 1];
        } else {
          here = AddNode(static_cast<unsigned char>(name[depth - 1]));
          if (firstChild_[node[i]] == kNone) firstChild_[node[i]] = here;
          firstChild_.push_back(kNone);
        }
        order[kept] = order[i];
        common[kept] = shared;
        node[kept] = here;
        ++kept;
      }
      order.resize(kept);
      common.resize(kept);
      node.resize(kept);
    }
    // A node without children gets the place its children would have: the
    // children of node s are then the nodes firstChild_[s] to firstChild_[s + 1].
    firstChild_.push_back(Nodes());
    for (std::size_t s = Nodes(); s-- > 0;)
      if (firstChild_[s] == kNone) firstChild_[s] = firstChild_[s + 1];

    // Suffix links level by level: a child's link is where its byte leads
    // from the nearest suffix of its parent that has such a move.
    for (std::uint32_t child = firstChild_[0]; child < firstChild_[1]; ++child)
      rootMove_[label_[child]] = child;
    suffix_.assign(Nodes(), 0);
    output_.assign(Nodes(), 0);
    for (std::uint32_t parent = 1; parent < Nodes(); ++parent) {
      for (std::uint32_t child = firstChild_[parent]; child < firstChild_[parent + 1]; ++child) {
        const std::uint32_t link = Move(suffix_[parent], label_[child]);
        suffix_[child] = link;
        output_[child] = ends_[link] != kNone ? link : output_[link];
      }
    }
  }

  // Calls found(k) for every name k occurring in `text` (once per place).
  template <class Found>
  void Scan(std::string_view text, Found&& found) const {
    std::uint32_t state = 0;
    for (const char c : text) {
      state = Move(state, static_cast<unsigned char>(c));
      for (std::uint32_t s = ends_[state] != kNone ? state : output_[state]; s != 0; s = output_[s])
        for (std::uint32_t k = ends_[s]; k != kNone; k = sameText_[k]) found(k);
    }
  }

 private:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  std::uint32_t Nodes() const { return static_cast<std::uint32_t>(label_.size()); }

  std::uint32_t AddNode(unsigned char byte) {
    label_.push_back(byte);
    ends_.push_back(kNone);
    return Nodes() - 1;
  }

  // The child of `state` reached by `byte`, or 0.
  std::uint32_t Child(std::uint32_t state, unsigned char byte) const {
    const auto begin = label_.begin() + firstChild_[state], end = label_.begin() + firstChild_[state + 1];
    const auto hit = std::lower_bound(begin, end, byte);
    return hit != end && *hit == byte ? static_cast<std::uint32_t>(hit - label_.begin()) : 0;
  }

  // Where `byte` leads from `state`: its child, else the move of its suffix.
  std::uint32_t Move(std::uint32_t state, unsigned char byte) const {
    for (; state != 0; state = suffix_[state])
      if (const std::uint32_t child = Child(state, byte)) return child;
    return rootMove_[byte];
  }

  std::array<std::uint32_t, 256> rootMove_{};  // the root's child for every byte, or 0
  std::vector<unsigned char> label_;           // the byte that leads to each node
  std::vector<std::uint32_t> firstChild_;      // children of s: firstChild_[s] .. firstChild_[s + 1]
  std::vector<std::uint32_t> suffix_;          // longest proper suffix that is a node
  std::vector<std::uint32_t> output_;          // nearest suffix node where names end
  std::vector<std::uint32_t> ends_;            // first name ending at a node
  std::vector<std::uint32_t> sameText_;        // next name of the same text
};

// Replacing in the whole text is replacing in every line as long as no name
// holds a CR or LF: no occurrence then spans a line break, and values hold
// no line break either, so nothing joins or splits lines. Each line is then
// visited only for the names it holds: one pass of the matcher lists the
// lines of every name, and a line that a replacement changed is scanned
// again for the names whose turn is still to come.
bool ReplaceLongNamesByLine(CompileRun& run, StageFrame& frame, const std::vector<std::size_t>& lengths,
                            std::size_t rows, TextGrowthLimit& growth) {
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
  std::string edited;
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
          const std::size_t before = run.WorkLines[line].size();
          edited.assign(run.WorkLines[line]);
          if (ExpandArray(edited, definition.Name, definition.Value) == 0) continue;
          run.WorkLines.assign(line, edited);
          changed = true;
          if (!growth.Allows(i, before, edited.size())) return changed;
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

// Which of up to 64 name bytes each line holds, one bit per byte, so that
// each one-byte name's pass over the program reads a word per line instead
// of the line. A line's bits are worked out again whenever it is rewritten.
class NameBytesPerLine {
 public:
  NameBytesPerLine(const CompileRun& run, std::span<const Definition> rows) {
    int bits = 0;
    for (const Definition& definition : rows) {
      const auto byte = static_cast<unsigned char>(definition.Name[0]);
      if (definition.Name.size() == 1 && bits < 64 && !bitOf_[byte]) bitOf_[byte] = std::uint64_t{1} << bits++;
    }
    held_.resize(static_cast<std::size_t>(run.LineCount) + 1);
    for (std::int32_t r = 1; r <= run.LineCount; ++r) Update(r, run.Line(r));
  }
  // False only when line r surely does not hold `name`.
  bool MayHold(std::int32_t r, char name) const {
    const std::uint64_t bit = bitOf_[static_cast<unsigned char>(name)];
    return bit == 0 || (held_[static_cast<std::size_t>(r)] & bit) != 0;
  }
  void Update(std::int32_t r, std::string_view line) {
    std::uint64_t held = 0;
    for (const char c : line) held |= bitOf_[static_cast<unsigned char>(c)];
    held_[static_cast<std::size_t>(r)] = held;
  }

 private:
  std::array<std::uint64_t, 256> bitOf_{};
  std::vector<std::uint64_t> held_;  // by 1-based line number
};

StageEnd RunOneByteNameReplacement(CompileRun& run, StageFrame& frame) {
  frame.AppendLog("定義ﾃﾞｰﾀ置換 -- 開始");

  const std::size_t rows = UsedRows(run);
  const std::vector<Definition>& table = run.DefinitionTable;
  std::string arrayMark, scratch, edited;
  TextGrowthLimit growth(run);
  NameBytesPerLine nameBytes(run, std::span(table).first(rows));
  for (std::size_t i = 0; i < rows; ++i) {
    const Definition& definition = table[i];
    if (definition.Name.size() == 1) {
      frame.ShowActivity(ReplacingText(i + 1, definition));
      const char name = definition.Name[0];
      arrayMark.assign("@").append(definition.Name);
      for (std::int32_t r = std::max(definition.ScopeStartLine, 1); r <= run.LineCount; ++r) {
        if (!nameBytes.MayHold(r, name)) continue;
        const std::string_view held = run.Line(r);
        if (held.empty() || std::memchr(held.data(), name, held.size()) == nullptr) continue;
        const std::size_t before = held.size();
        edited.assign(held);
        if (ContainsAtCharStart(edited, arrayMark))
          ExpandArray(edited, definition.Name, definition.Value);
        else
          ReplaceBetweenDelimiters(edited, name, definition.Value, scratch);
        run.SetLine(r, edited);
        nameBytes.Update(r, edited);
        if (!growth.Allows(i, before, edited.size())) return StopRunawayGrowth(frame, "定義ﾃﾞｰﾀ置換", definition);
      }
    }
    frame.SetProgress(static_cast<std::int32_t>(i + 1));
  }

  frame.AppendLog("定義ﾃﾞｰﾀ置換 -- 完了");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
