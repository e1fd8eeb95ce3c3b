#pragma once
// What the two replacement stages of defined names share: the rows of the
// definition table in use, the text that says which row is being
// replaced, and the array form of a replacement.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
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

}  // namespace vostrel
