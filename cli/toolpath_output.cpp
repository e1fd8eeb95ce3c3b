#include "cli/toolpath_output.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <numbers>

#include "platform/read_file.h"
#include "text/path_text.h"
#include "toolpath/report.h"

namespace vostrel::cli {

namespace tp = vostrel::toolpath;

const char* const kToolpathUsage =
    "\nToolpath (the compiled program executed as a Fanuc-style milling control would):\n"
    "  --toolpath FORMAT  after a successful run, write to standard output the\n"
    "                    motions (json, one object per line), a drawing (svg) or\n"
    "                    the statistics (stats); -o FILE is then optional and\n"
    "                    --stdout is not allowed\n"
    "  --plane G17|G18|G19  the plane the svg drawing shows (default G17: X, Y)\n"
    "  --toolpath-only FILE  run FILE, a compiled program, without compiling\n"
    "                    (instead of SOURCE)\n"
    "  --rapid-rate N    rapid traverse rate for the cycle time, mm/min\n"
    "                    (default 10000)\n"
    "  --decimal-point increment|calculator  a number without a decimal point\n"
    "                    after an axis address: least input increments\n"
    "                    (default: X10 is 0.010 mm) or as written (X10 is 10 mm)\n";

bool TakeToolpathArgument(const std::vector<std::string>& args, std::size_t& i, ToolpathOptions& options,
                          std::string& error) {
  const std::string& arg = args[i];
  if (arg != "--toolpath" && arg != "--plane" && arg != "--toolpath-only" && arg != "--rapid-rate" &&
      arg != "--decimal-point")
    return false;
  if (i + 1 >= args.size()) {
    error = arg + " needs a value";
    return true;
  }
  const std::string& value = args[++i];
  if (arg == "--toolpath") {
    if (value == "json") options.format = ToolpathOptions::Format::Json;
    else if (value == "svg") options.format = ToolpathOptions::Format::Svg;
    else if (value == "stats") options.format = ToolpathOptions::Format::Stats;
    else error = "--toolpath takes json, svg or stats, not '" + value + "'";
  } else if (arg == "--plane") {
    if (value == "G17" || value == "g17" || value == "XY") options.plane = tp::Plane::XY;
    else if (value == "G18" || value == "g18" || value == "ZX" || value == "XZ") options.plane = tp::Plane::ZX;
    else if (value == "G19" || value == "g19" || value == "YZ") options.plane = tp::Plane::YZ;
    else error = "--plane takes G17, G18 or G19, not '" + value + "'";
  } else if (arg == "--toolpath-only") {
    options.only = PathFromUtf8(value);
  } else if (arg == "--rapid-rate") {
    char* end = nullptr;
    const double rate = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0' || !(rate > 0) || !std::isfinite(rate))
      error = "--rapid-rate needs a rate in mm/min above 0, not '" + value + "'";
    else options.settings.rapidRate = rate;
  } else {
    if (value == "increment") options.settings.decimalInput = tp::DecimalInput::Increment;
    else if (value == "calculator") options.settings.decimalInput = tp::DecimalInput::Calculator;
    else error = "--decimal-point takes increment or calculator, not '" + value + "'";
  }
  return true;
}

namespace {

void AppendPoint(std::string& out, const double p[3]) {
  out += '[';
  tp::AppendCoordinate(out, p[0]);
  out += ',';
  tp::AppendCoordinate(out, p[1]);
  out += ',';
  tp::AppendCoordinate(out, p[2]);
  out += ']';
}

void AppendJsonText(std::string& out, std::string_view text) {
  out += '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else if (c >= 0x80) {
      // UTF-8 as it is; a byte that is not (a file name's) as \udcXX.
      std::size_t length = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
      if (length > 0 && i + length <= text.size())
        for (std::size_t k = 1; k < length; ++k)
          if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) length = 0;
      if (length == 0 || i + length > text.size()) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\udc%02x", c);
        out += buffer;
      } else {
        out.append(text.substr(i, length));
        i += length - 1;
      }
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

const char* TypeName(tp::MotionType type) {
  switch (type) {
    case tp::MotionType::Rapid: return "rapid";
    case tp::MotionType::Feed: return "feed";
    case tp::MotionType::Arc: return "arc";
  }
  return "feed";
}

bool Flush(std::string& buffer, std::FILE* out) {
  const bool ok = std::fwrite(buffer.data(), 1, buffer.size(), out) == buffer.size();
  buffer.clear();
  return ok;
}

}  // namespace

std::string MotionJson(const tp::Motion& m, const SourcePlace& source) {
  std::string out;
  out.reserve(200);
  out += "{\"type\":\"";
  out += TypeName(m.type);
  out += "\",\"line\":";
  out += std::to_string(m.line);
  out += ",\"from\":";
  AppendPoint(out, m.from);
  out += ",\"to\":";
  AppendPoint(out, m.to);
  if (m.type == tp::MotionType::Arc) {
    out += ",\"center\":";
    AppendPoint(out, m.center);
    out += m.clockwise ? ",\"dir\":\"cw\"" : ",\"dir\":\"ccw\"";
    out += ",\"plane\":\"";
    out += tp::PlaneName(m.plane);
    out += '"';
  }
  out += ",\"feed\":";
  tp::AppendCoordinate(out, m.feed);
  out += ",\"source\":{\"file\":";
  AppendJsonText(out, source.file);
  out += ",\"line\":";
  out += source.line > 0 ? std::to_string(source.line) : "null";
  out += "}}\n";
  return out;
}

std::string SvgDrawing(const tp::Result& result, tp::Plane plane) {
  const tp::Projection projection = tp::ProjectionOf(plane);
  const char* names = "XYZ";
  auto axis = [names](const double direction[3]) {
    return names[direction[0] != 0 ? 0 : direction[1] != 0 ? 1 : 2];
  };
  return tp::SvgDrawing(result, projection,
                        std::string(tp::PlaneName(plane)) + ": " + axis(projection.right) + " right, " +
                            axis(projection.up) + " up");
}

int WriteToolpath(const ToolpathOptions& options, std::span<const std::string_view> lines, const SourceMapper& source,
                  DiagnosticsOptions::Format findingFormat, std::FILE* out, std::ostream& findings) {
  const tp::Result result = tp::Run(lines, options.settings);
  const auto format = findingFormat == DiagnosticsOptions::Format::Json ? DiagnosticsOptions::Format::Json
                                                                         : DiagnosticsOptions::Format::Gnu;
  for (const tp::ToolpathFinding& f : result.findings) {
    const SourcePlace place = source(f.line > 0 ? f.line : 1);
    const Finding finding = tp::RunFinding(f, place.file, place.line);
    findings << FormatFinding(finding, format);
  }
  std::string buffer;
  bool ok = true;
  switch (options.format) {
    case ToolpathOptions::Format::Json:
      buffer.reserve(1 << 20);
      for (const tp::Motion& m : result.motions) {
        buffer += MotionJson(m, source(m.line));
        if (buffer.size() > (1 << 20) - 512) ok = Flush(buffer, out) && ok;
      }
      break;
    case ToolpathOptions::Format::Svg: buffer = SvgDrawing(result, options.plane); break;
    case ToolpathOptions::Format::Stats: buffer = tp::StatisticsText(result); break;
    case ToolpathOptions::Format::None: break;
  }
  ok = Flush(buffer, out) && ok;
  if (!ok || std::fflush(out) != 0) {
    findings << "vostrelc: cannot write the toolpath to standard output: " << std::strerror(errno) << "\n";
    return 2;
  }
  return result.stopped ? 1 : 0;
}

int RunToolpathOnly(const ToolpathOptions& options, DiagnosticsOptions::Format findingFormat) {
  std::string bytes, error;
  if (!platform::ReadWholeFile(*options.only, bytes, &error, platform::Pipes::Read)) {
    std::cerr << "vostrelc: " << PathToUtf8(*options.only) << ": cannot read the program: " << error << "\n";
    return 2;
  }
  const std::vector<std::string_view> lines = tp::SplitProgramLines(bytes);
  const std::string file = PathToUtf8(*options.only);
  return WriteToolpath(options, lines, [&file](std::int32_t line) { return SourcePlace{file, line}; },
                       findingFormat, stdout, std::cerr);
}

}  // namespace vostrel::cli
