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
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"
#include "pipeline/text_growth.h"
#include "text/sjis.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// One row's replacement of ExpandArray, its array texts made once.
struct ArrayForm {
  ArrayForm(std::string_view name, std::string_view value) : name(name), value(value) {
    open.append("@").append(name).append("[");
    head.append("#[").append(value).append("+");
  }
  // ExpandArray from `line` into `out` (`scratch` holds the step between);
  // `out` is written only when something is replaced. `mayHoldAt` false
  // says the line holds no "@".
  std::size_t ExpandInto(std::string_view line, std::string& out, std::string& scratch, bool mayHoldAt = true) const {
    std::string_view text = line;
    const std::size_t arrays = mayHoldAt ? sjis::ReplaceAllInto(line, open, head, scratch) : 0;
    if (arrays > 0) text = scratch;
    const std::size_t plain = sjis::ReplaceAllInto(text, name, value, out);
    if (plain == 0 && arrays > 0) out.swap(scratch);
    return arrays + plain;
  }

  std::string_view name, value;
  std::string open, head;
};

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


// All names of two or more bytes at once, found by their first bytes: the
// names fall into four groups by length (2-3, 4-7, 8-15, 16 bytes and
// more), and within a group by their first `key` bytes (the group's
// shortest name length, at most 16), which are read as two numbers and
// looked up in a hash table per group; the names of a key are then
// compared in full. A table of
// every pair of first bytes keeps most places of a text from the tables.
// Each place costs a few loads whatever the names' bytes, and memory follows
// the number of names.
class NameMatcher {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  explicit NameMatcher(const std::vector<std::string_view>& names)
      : names_(names), sameText_(names.size(), kNone), groupsOfPair_(1 << 16, 0) {
    // The names in byte order: names of one text side by side, the first
    // (in table order) heading its chain.
    std::vector<std::uint32_t> order(names.size());
    for (std::size_t k = 0; k < names.size(); ++k) order[k] = static_cast<std::uint32_t>(k);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return names[a] < names[b]; });
    std::vector<std::uint32_t> heads;
    for (std::size_t i = 0; i < order.size(); ++i) {
      if (i > 0 && names[order[i]] == names[order[i - 1]]) sameText_[order[i - 1]] = order[i];
      else heads.push_back(order[i]);
    }
    for (const std::uint32_t k : heads) {
      Group& group = groups_[GroupOf(names[k].size())];
      group.keyLength = std::min(group.keyLength, names[k].size());
    }
    for (std::size_t g = 0; g < kGroups; ++g) groups_[g].keyLength = std::min<std::size_t>(groups_[g].keyLength, 16);
    // Heads ordered by group and key, so that the heads of a key lie side by side.
    std::vector<std::pair<Key, std::uint32_t>> keyed;
    keyed.reserve(heads.size());
    for (const std::uint32_t k : heads) {
      const std::size_t g = GroupOf(names[k].size());
      keyed.push_back({KeyAt(names[k].data(), groups_[g].keyLength, names[k].size()), k});
      groupsOfPair_[Pair(names[k][0], names[k][1])] |= static_cast<std::uint8_t>(1u << g);
      startsName_[static_cast<unsigned char>(names[k][0])] = true;
    }
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
      const std::size_t ga = GroupOf(names[a.second].size()), gb = GroupOf(names[b.second].size());
      return ga != gb ? ga < gb : a.first.low != b.first.low ? a.first.low < b.first.low : a.first.high < b.first.high;
    });
    members_.reserve(keyed.size());
    for (std::size_t i = 0; i < keyed.size();) {
      const std::size_t g = GroupOf(names[keyed[i].second].size());
      std::size_t end = i;
      while (end < keyed.size() && keyed[end].first == keyed[i].first &&
             GroupOf(names[keyed[end].second].size()) == g)
        members_.push_back(keyed[end++].second);
      groups_[g].keys.push_back({keyed[i].first, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(end)});
      i = end;
    }
    for (Group& group : groups_) group.Build();
#if defined(__SSE2__)
    for (std::size_t b = 0; b < 256; ++b) {
      if (!startsName_[b]) continue;
      if (fewStarts_ == std::size(starts_)) {
        fewStarts_ = 0;  // too many for the wide search
        break;
      }
      starts_[fewStarts_++] = _mm_set1_epi8(static_cast<char>(b));
    }
#endif
  }

  // Calls found(k) for every name text occurring in `text` (once per
  // place), k being the first name of that text; NextOfText(k) gives the
  // others. Returns whether the text holds an "@" (the mark of the array
  // form).
  template <class Found>
  bool Scan(std::string_view text, Found&& found) const {
    const char* const data = text.data();
    const std::size_t size = text.size();
    const std::size_t last = size < 2 ? 0 : size - 1;  // the last place a name of two bytes may start, + 1
    for (std::size_t i = NextStart(data, 0, last); i < last; i = NextStart(data, i + 1, last)) {
      std::uint8_t groups = groupsOfPair_[Pair(data[i], data[i + 1])];
      for (std::size_t g = 0; groups != 0; ++g, groups >>= 1) {
        if (!(groups & 1)) continue;
        const Group& group = groups_[g];
        if (size - i < group.keyLength) continue;
        const Slot* slot = group.Find(KeyAt(data + i, group.keyLength, size - i));
        if (!slot) continue;
        for (std::uint32_t m = slot->begin; m < slot->end; ++m) {
          const std::string_view name = names_[members_[m]];
          if (name.size() <= size - i && std::memcmp(data + i + group.keyLength, name.data() + group.keyLength,
                                                     name.size() - group.keyLength) == 0)
            found(members_[m]);
        }
      }
    }
    return size > 0 && std::memchr(data, '@', size) != nullptr;
  }
  // The next name of the same text as name k, or kNone.
  std::uint32_t NextOfText(std::uint32_t k) const { return sameText_[k]; }

 private:
  static constexpr std::size_t kGroups = 4;
  struct Key {
    std::uint64_t low = 0, high = 0;
    friend bool operator==(const Key&, const Key&) = default;
  };
  struct Slot {
    Key key;
    std::uint32_t begin = 0, end = 0;  // into members_; empty when begin == end
  };
  struct Group {
    std::size_t keyLength = SIZE_MAX;
    std::vector<Slot> keys;   // the keys, until Build makes them the table
    std::vector<Slot> table;  // open addressing, a power of two
    unsigned shift = 64;

    static std::size_t Hash(const Key& key, unsigned shift) {
      const std::uint64_t mixed = (key.low ^ (key.high * 0xC2B2AE3D27D4EB4Full)) * 0x9E3779B97F4A7C15ull;
      return shift >= 64 ? 0 : static_cast<std::size_t>(mixed >> shift);
    }
    void Build() {
      std::size_t size = 1;
      shift = 64;
      while (size < 2 * keys.size()) size *= 2, --shift;
      table.assign(keys.empty() ? 0 : size, Slot{});
      for (const Slot& key : keys) {
        std::size_t at = Hash(key.key, shift);
        while (table[at].begin != table[at].end) at = (at + 1) & (size - 1);
        table[at] = key;
      }
      keys = {};
    }
    const Slot* Find(const Key& key) const {
      if (table.empty()) return nullptr;
      for (std::size_t at = Hash(key, shift);; at = (at + 1) & (table.size() - 1)) {
        const Slot& slot = table[at];
        if (slot.begin == slot.end) return nullptr;
        if (slot.key == key) return &slot;
      }
    }
  };

  static std::size_t GroupOf(std::size_t length) { return length < 4 ? 0 : length < 8 ? 1 : length < 16 ? 2 : 3; }
  static std::uint16_t Pair(char a, char b) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(a) << 8 | static_cast<unsigned char>(b));
  }
  // The first `length` bytes (2 to 16) at `p` as two numbers; `available`
  // bytes may be read there (at least `length`).
  static Key KeyAt(const char* p, std::size_t length, std::size_t available) {
    Key key;
    if (length <= 8) {
      if (available >= 8) {  // one load of eight bytes, the bytes beyond the key cleared
        std::memcpy(&key.low, p, 8);
        if (length < 8) {
          const unsigned kept = static_cast<unsigned>(8 * length);
          key.low &= std::endian::native == std::endian::little ? (std::uint64_t{1} << kept) - 1 : ~std::uint64_t{0} << (64 - kept);
        }
      } else {
        std::memcpy(&key.low, p, length);
      }
    } else {
      std::memcpy(&key.low, p, 8);
      std::memcpy(&key.high, p + length - 8, 8);
    }
    return key;
  }

  // The first place from `i` on, before `end`, whose byte may start a name.
  std::size_t NextStart(const char* data, std::size_t i, std::size_t end) const {
#if defined(__SSE2__)
    // With a few first bytes, sixteen places a turn.
    if (fewStarts_ > 0) {
      for (; i + 16 <= end; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        __m128i hit = _mm_cmpeq_epi8(v, starts_[0]);
        for (std::size_t s = 1; s < fewStarts_; ++s) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, starts_[s]));
        if (const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit)); mask != 0)
          return i + static_cast<std::size_t>(std::countr_zero(mask));
      }
    }
#endif
    while (i < end && !startsName_[static_cast<unsigned char>(data[i])]) ++i;
    return i;
  }

  const std::vector<std::string_view>& names_;
  std::vector<std::uint32_t> sameText_;   // next name of the same text
  std::vector<std::uint8_t> groupsOfPair_;  // the groups with a name starting with each pair of bytes
  std::array<bool, 256> startsName_{};      // the first bytes of the names, a table small enough to stay at hand
#if defined(__SSE2__)
  __m128i starts_[4] = {};  // each first byte in all sixteen places
  std::size_t fewStarts_ = 0;        // how many of them, 0 when there are more
#endif
  std::vector<std::uint32_t> members_;    // heads of the name texts, by group and key
  std::array<Group, kGroups> groups_;
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
// Growth is judged as the turns would meet it over the whole text: the text
// is beyond its bound after some turn only if it can be beyond it when every
// growth so far is counted and no shrinking. While that sum stays within
// the bound no turn can pass it; once it does not, the lines not yet stored
// go through the turns one turn at a time (ReplaceTurnByTurn), which finds
// the turn that passes the bound, counting what each turn did to the lines
// already stored. Returns the first line not stored.
std::size_t ReplaceLineByLine(CompileRun& run, StageFrame& frame, const LongNameTurns& turns,
                              const TextGrowthLimit& growth, std::vector<std::int64_t>& growthOfTurn,
                              bool& changed) {
  const NameMatcher& matcher = *turns.matcher;
  const std::size_t lineCount = run.WorkLines.size();
  const auto rows = static_cast<std::int64_t>(std::max(UsedRows(run), std::size_t{1}));
  std::vector<std::uint32_t> held;                             // the turns the line's last scan found
  std::vector<std::pair<std::uint32_t, std::int64_t>> grew;    // what each turn did to the line
  std::string current, edited, scratch;
  std::size_t grown = 0;  // bytes the stored lines grew by, shrinking not counted
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
    grew.clear();
    std::size_t lineGrown = 0;
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
      const auto delta = static_cast<std::int64_t>(edited.size()) - static_cast<std::int64_t>(text.size());
      grew.emplace_back(next, delta);
      if (delta > 0) lineGrown += static_cast<std::size_t>(delta);
      if (!growth.Covers(grown + lineGrown)) return line;
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
    if (grew.empty()) continue;
    run.WorkLines.assign(line, text);
    changed = true;
    grown += lineGrown;
    for (const auto& [k, delta] : grew) growthOfTurn[k] += delta;
    lastTurn = grew.back().first;
  }
  return lineCount;
}

// The same turns one turn at a time over the lines from `firstLine` on, the
// lines before it already through every turn, with what each turn did to
// them in `growthOfTurn`: each line is visited only for the names it holds,
// listed by one pass of the matcher, and a line that a turn changed is
// scanned again for the names whose turn is still to come. Stops at the
// turn whose growth takes the text beyond its bound.
void ReplaceTurnByTurn(CompileRun& run, StageFrame& frame, const LongNameTurns& turns, std::size_t firstLine,
                       const std::vector<std::int64_t>& growthOfTurn, TextGrowthLimit& growth, bool& changed) {
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
    const std::int64_t earlier = growthOfTurn[k];
    if (earlier != 0 && !growth.Allows(row, earlier < 0 ? static_cast<std::size_t>(-earlier) : 0,
                                       earlier > 0 ? static_cast<std::size_t>(earlier) : 0))
      return;
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
  std::vector<std::int64_t> growthOfTurn(turns.names.size(), 0);
  bool changed = false;
  const std::size_t stoppedAt = ReplaceLineByLine(run, frame, turns, growth, growthOfTurn, changed);
  if (stoppedAt < run.WorkLines.size()) ReplaceTurnByTurn(run, frame, turns, stoppedAt, growthOfTurn, growth, changed);
  frame.SetProgress(0);
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
    const std::size_t size = line.size();
    for (std::size_t i = 0; i < size; ++i) {
      const std::uint64_t bit = bitOf_[static_cast<unsigned char>(line[i])];
      if (bit == 0) continue;
      const bool before = i == 0 || IsDelimiter(line[i - 1]);
      const bool after = i + 1 == size || IsDelimiter(line[i + 1]);
      if ((before && after) || (i > 0 && line[i - 1] == '@')) held |= bit;
    }
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

// The name bytes a line holds where they could be replaced: between
// delimiter bytes (or the line's ends), or after an "@".
using ByteSet = std::array<std::uint64_t, 4>;
ByteSet ReplaceableNameBytes(std::string_view line, const std::array<bool, 256>& isName) {
  ByteSet held{};
  const std::size_t size = line.size();
  for (std::size_t i = 0; i < size; ++i) {
    const auto b = static_cast<unsigned char>(line[i]);
    if (!isName[b]) continue;
    const bool before = i == 0 || IsDelimiter(line[i - 1]);
    const bool after = i + 1 == size || IsDelimiter(line[i + 1]);
    if ((before && after) || (i > 0 && line[i - 1] == '@')) held[b >> 6] |= std::uint64_t{1} << (b & 63);
  }
  return held;
}

// Turn i replaces its name in line r when r is in its scope, so each line
// can go through the turns on its own, in table order: a line is looked
// at for the name bytes it holds where they could be replaced, a rewritten
// line is looked at again, and it is stored once. A name defined again
// with the same value then costs a look at the table, since its first turn
// left no such place. Growth is judged as in the long names' pass: while
// every growth so far, shrinking not counted, stays within the bound no
// turn can pass it; once it does not, the lines not yet stored go through
// the turns one turn at a time. Returns the first line not stored.
std::int32_t ReplaceOneByteNamesLineByLine(CompileRun& run, StageFrame& frame, const OneByteNameTurns& table,
                                           const TextGrowthLimit& growth, std::vector<std::int64_t>& growthOfTurn) {
  const auto rows = static_cast<std::int64_t>(std::max(UsedRows(run), std::size_t{1}));
  std::vector<std::pair<std::uint32_t, std::int64_t>> grew;  // what each turn did to the line
  std::string current, edited, scratch;
  std::size_t grown = 0;  // bytes the stored lines grew by, shrinking not counted
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
    grew.clear();
    std::size_t lineGrown = 0;
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
      const auto delta = static_cast<std::int64_t>(edited.size()) - static_cast<std::int64_t>(text.size());
      grew.emplace_back(next, delta);
      if (delta > 0) lineGrown += static_cast<std::size_t>(delta);
      if (!growth.Covers(grown + lineGrown)) return r;
      current.swap(edited);
      text = current;
      held = ReplaceableNameBytes(text, table.isName);
    }
    if (grew.empty()) continue;
    run.SetLine(r, text);
    grown += lineGrown;
    for (const auto& [k, delta] : grew) growthOfTurn[k] += delta;
    lastTurn = grew.back().first;
  }
  return run.LineCount + 1;
}

// The same turns one turn at a time over the lines from `firstLine` on, the
// lines before it already through every turn, with what each turn did to
// them in `growthOfTurn`. Stops at the turn whose growth takes the text
// beyond its bound.
void ReplaceOneByteNamesTurnByTurn(CompileRun& run, StageFrame& frame, const OneByteNameTurns& table,
                                   std::int32_t firstLine, const std::vector<std::int64_t>& growthOfTurn,
                                   TextGrowthLimit& growth) {
  std::string scratch, edited;
  NameBytesPerLine nameBytes(run, std::span(run.DefinitionTable).first(UsedRows(run)));
  OneByteTurns turns;
  std::vector<std::int32_t> dirty;
  for (std::size_t k = 0; k < table.turns.size(); ++k) {
    const auto& turn = table.turns[k];
    frame.ShowActivity(ReplacingText(turn.row + 1, turn.definition));
    const std::int64_t earlier = growthOfTurn[k];
    if (earlier != 0 && !growth.Allows(turn.row, earlier < 0 ? static_cast<std::size_t>(-earlier) : 0,
                                       earlier > 0 ? static_cast<std::size_t>(earlier) : 0))
      return;
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

StageEnd RunOneByteNameReplacement(CompileRun& run, StageFrame& frame) {
  frame.AppendLog("定義ﾃﾞｰﾀ置換 -- 開始");

  const OneByteNameTurns table(run.DefinitionTable, UsedRows(run));
  if (!table.turns.empty()) {
    TextGrowthLimit growth(run);
    std::vector<std::int64_t> growthOfTurn(table.turns.size(), 0);
    const std::int32_t stoppedAt = ReplaceOneByteNamesLineByLine(run, frame, table, growth, growthOfTurn);
    if (stoppedAt <= run.LineCount) {
      ReplaceOneByteNamesTurnByTurn(run, frame, table, stoppedAt, growthOfTurn, growth);
      if (growth.RunawayRow()) return StopRunawayGrowth(frame, "定義ﾃﾞｰﾀ置換", run.DefinitionTable[*growth.RunawayRow()]);
    }
  }
  frame.SetProgress(static_cast<std::int32_t>(UsedRows(run)));

  frame.AppendLog("定義ﾃﾞｰﾀ置換 -- 完了");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
