#pragma once
// What the two replacement stages of defined names share: the rows of the
// definition table in use, the text that says which row is being
// replaced, and the array form of a replacement.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/text_growth.h"
#include "text/sjis.h"

namespace vostrel {

inline std::size_t DefinitionRowsInUse(const CompileRun& run) {
  const auto count = static_cast<std::size_t>(run.DefinitionCount > 0 ? run.DefinitionCount : 0);
  return count < run.DefinitionTable.size() ? count : run.DefinitionTable.size();
}

// "0003: PITCH を 1.5 に置換中"
inline std::string ReplacingText(std::size_t row, const Definition& definition) {
  return StageFrame::LineNumberText(static_cast<std::int32_t>(row)) + ": " +
         sjis::ToUtf8(definition.Name) + " を " + sjis::ToUtf8(definition.Value) + " に置換中";
}

// One row's replacement with its array form: "@name[" becomes "#[value+",
// then every other occurrence of the name becomes the value; the array
// texts are made once.
struct ArrayForm {
  ArrayForm(std::string_view name, std::string_view value) : name(name), value(value) {
    open.append("@").append(name).append("[");
    head.append("#[").append(value).append("+");
  }
  // The replacement from `line` into `out` (`scratch` holds the step between);
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

// What each turn did to the size of the text, for passes that take each
// line through all the turns: the text is beyond its bound after some turn
// only if it can be beyond it when every growth so far is counted and no
// shrinking. While that sum stays within the bound no turn can pass it;
// once it does not, the lines not yet stored go through the turns one turn
// at a time, each turn first counting what it did to the stored lines.
class GrowthByTurn {
 public:
  explicit GrowthByTurn(std::size_t turns) : ofTurn_(turns, 0) {}

  // A line begins.
  void StartLine() {
    line_.clear();
    lineGrown_ = 0;
  }
  // Turn k made the line under way `before` bytes long `after`; false
  // when the growth so far might take the text beyond its bound.
  bool Grew(std::uint32_t k, std::size_t before, std::size_t after, const TextGrowthLimit& limit) {
    line_.emplace_back(k, static_cast<std::int64_t>(after) - static_cast<std::int64_t>(before));
    if (after > before) lineGrown_ += after - before;
    return limit.Covers(grown_ + lineGrown_);
  }
  bool LineChanged() const { return !line_.empty(); }
  std::uint32_t LastTurn() const { return line_.back().first; }
  // The line under way was stored.
  void LineStored() {
    grown_ += lineGrown_;
    for (const auto& [k, delta] : line_) ofTurn_[k] += delta;
  }
  // What turn k did to the stored lines, counted against the bound for
  // `row`; false when that takes the text beyond it.
  bool CountStored(std::size_t k, std::size_t row, TextGrowthLimit& limit) const {
    const std::int64_t delta = ofTurn_[k];
    return delta == 0 || limit.Allows(row, delta < 0 ? static_cast<std::size_t>(-delta) : 0,
                                      delta > 0 ? static_cast<std::size_t>(delta) : 0);
  }

 private:
  std::vector<std::int64_t> ofTurn_;                          // over the stored lines
  std::vector<std::pair<std::uint32_t, std::int64_t>> line_;  // over the line under way
  std::size_t grown_ = 0;                                     // stored lines, shrinking not counted
  std::size_t lineGrown_ = 0;
};

}  // namespace vostrel
