#pragma once
// vostrelc --toolpath: the compiled program executed by the toolpath
// interpreter, written as motions (json), a drawing (svg) or statistics.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/diagnostics.h"
#include "toolpath/toolpath.h"

namespace vostrel::cli {

struct ToolpathOptions {
  enum class Format { None, Json, Svg, Stats };
  Format format = Format::None;
  toolpath::Plane plane = toolpath::Plane::XY;     // --plane
  std::optional<std::filesystem::path> only;       // --toolpath-only FILE
  toolpath::Settings settings;                     // --rapid-rate, --decimal-point
  bool Wanted() const { return format != Format::None; }
};

// Takes args[i] when it is one of the options above, with its value
// (advancing i); false when it is none of them. A bad value is reported in
// `error`.
bool TakeToolpathArgument(const std::vector<std::string>& args, std::size_t& i, ToolpathOptions& options,
                          std::string& error);

extern const char* const kToolpathUsage;

// Where a line of the compiled program came from.
struct SourcePlace {
  std::string file;  // UTF-8
  std::int32_t line = 0;
};
using SourceMapper = std::function<SourcePlace(std::int32_t compiledLine)>;

// Runs the program and writes what options.format asks for to `out`, the
// findings to `findings` in the diagnostics form (gnu unless json is
// asked for). Returns the exit status: 0, or 1 when the program stopped on
// an error (an alarm, a runaway loop, a block it cannot read); 2 when
// `out` could not be written.
int WriteToolpath(const ToolpathOptions& options, std::span<const std::string_view> lines,
                  const SourceMapper& source, DiagnosticsOptions::Format findingFormat, std::FILE* out,
                  std::ostream& findings);

// --toolpath-only FILE: the file is a compiled program, run as it is.
int RunToolpathOnly(const ToolpathOptions& options, DiagnosticsOptions::Format findingFormat);

// The pieces of the output forms, for tests.
std::string MotionJson(const toolpath::Motion& motion, const SourcePlace& source);
std::string SvgDrawing(const toolpath::Result& result, toolpath::Plane plane);

}  // namespace vostrel::cli
