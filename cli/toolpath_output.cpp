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
#include "text/sjis.h"

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

// A coordinate to a micrometre (a ten-thousandth of an inch is 2.54 of
// them), without trailing zeros: 12.5, -0.001, 0.
void AppendNumber(std::string& out, double value) {
  double rounded = std::round(value * 1e6) / 1e6;
  if (rounded == 0) rounded = 0;  // no "-0"
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, rounded);
  out.append(buffer, result.ptr);
}

void AppendPoint(std::string& out, const double p[3]) {
  out += '[';
  AppendNumber(out, p[0]);
  out += ',';
  AppendNumber(out, p[1]);
  out += ',';
  AppendNumber(out, p[2]);
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

std::string Duration(double seconds) {
  const auto total = static_cast<long long>(std::llround(seconds));
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
  return buffer;
}

std::string Fixed(double value, int decimals = 3) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(value) < 5e-10 ? 0.0 : value);
  return buffer;
}

// The drawing's horizontal and vertical axes for a plane: G17 X right, Y
// up; G18 X right, Z up; G19 Y right, Z up.
void ViewAxes(tp::Plane plane, int& h, int& v) {
  switch (plane) {
    case tp::Plane::XY: h = 0, v = 1; break;
    case tp::Plane::ZX: h = 0, v = 2; break;
    case tp::Plane::YZ: h = 1, v = 2; break;
  }
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
  AppendNumber(out, m.feed);
  out += ",\"source\":{\"file\":";
  AppendJsonText(out, source.file);
  out += ",\"line\":";
  out += source.line > 0 ? std::to_string(source.line) : "null";
  out += "}}\n";
  return out;
}

std::string StatisticsText(const tp::Result& result) {
  const tp::Statistics& s = result.statistics;
  const char* unit = s.inch ? "in" : "mm";
  std::string out;
  out += "lines:          " + std::to_string(s.lines) + "\n";
  out += "blocks:         " + std::to_string(s.blocks) + " executed\n";
  out += "motions:        " + std::to_string(result.motions.size()) + " (rapid " + std::to_string(s.rapids) +
         ", feed " + std::to_string(s.feeds) + ", arc " + std::to_string(s.arcs) + ")\n";
  out += std::string("units:          ") + (s.inch ? "inch (G20)" : "mm (G21)") + "\n";
  if (s.hasExtent) {
    const char* names = "XYZ";
    for (int i = 0; i < 3; ++i)
      out += std::string("extent ") + names[i] + ":       " + Fixed(s.min[i]) + " .. " + Fixed(s.max[i]) + " " + unit + "\n";
    out += "lowest Z:       " + Fixed(s.min[2]) + " " + unit + "\n";
  } else {
    out += "extent:         no motion\n";
  }
  out += "rapid length:   " + Fixed(s.rapidLength) + " " + unit + "\n";
  out += "feed length:    " + Fixed(s.feedLength) + " " + unit + "\n";
  out += "cycle time:     " + Duration(s.CycleSeconds()) + " (rapid " + Duration(s.rapidSeconds) + ", feed " +
         Duration(s.feedSeconds) + ", dwell " + Duration(s.dwellSeconds) + ")" +
         (s.feedMissing ? ", a cutting move without F not counted" : "") + "\n";
  out += "tool changes:   " + std::to_string(s.toolChanges) + " (M06)\n";
  out += "tools:          " + std::to_string(s.tools.size()) + "\n";
  for (const tp::ToolUse& tool : s.tools) {
    out += "  T" + std::to_string(tool.number) + "  line " + std::to_string(tool.line);
    if (!tool.remark.empty()) out += "  " + sjis::ToUtf8(tool.remark);
    out += "\n";
  }
  int errors = 0, warnings = 0;
  for (const tp::ToolpathFinding& f : result.findings) {
    if (f.severity == Severity::Error) ++errors;
    else if (f.severity == Severity::Warning) ++warnings;
  }
  out += "findings:       " + std::to_string(errors) + " error(s), " + std::to_string(warnings) + " warning(s)" +
         (result.stopped ? "; the program stopped early" : "") + "\n";
  return out;
}

std::string SvgDrawing(const tp::Result& result, tp::Plane plane) {
  int h = 0, v = 1;
  ViewAxes(plane, h, v);
  const tp::Statistics& s = result.statistics;
  double minH = s.hasExtent ? s.min[h] : 0, maxH = s.hasExtent ? s.max[h] : 1;
  double minV = s.hasExtent ? s.min[v] : 0, maxV = s.hasExtent ? s.max[v] : 1;
  const double span = std::max({maxH - minH, maxV - minV, 1e-3});
  const double margin = span * 0.03;
  minH -= margin, maxH += margin, minV -= margin, maxV += margin;
  const double stroke = span / 800;

  std::string rapids, feeds;
  auto point = [&](std::string& d, char command, double x, double y) {
    d += command;
    AppendNumber(d, x);
    d += ' ';
    AppendNumber(d, -y);  // SVG's y grows downwards
  };
  // Each path continues where the last move of its kind ended.
  double lastRapid[2] = {NAN, NAN}, lastFeed[2] = {NAN, NAN};
  for (const tp::Motion& m : result.motions) {
    std::string& d = m.type == tp::MotionType::Rapid ? rapids : feeds;
    double* last = m.type == tp::MotionType::Rapid ? lastRapid : lastFeed;
    if (last[0] != m.from[h] || last[1] != m.from[v]) point(d, 'M', m.from[h], m.from[v]);
    if (m.type == tp::MotionType::Arc) {
      // As a polyline, so that arcs of every plane and helices project alike.
      double radius, start;
      const double sweep = tp::ArcSweep(m, radius, start);
      int a = 0, b = 1, n = 2;
      if (m.plane == tp::Plane::ZX) a = 2, b = 0, n = 1;
      if (m.plane == tp::Plane::YZ) a = 1, b = 2, n = 0;
      const int steps = std::max(2, static_cast<int>(std::fabs(sweep) / (std::numbers::pi / 36)) + 1);
      for (int i = 1; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps, angle = start + sweep * t;
        double p[3];
        p[a] = m.center[a] + radius * std::cos(angle);
        p[b] = m.center[b] + radius * std::sin(angle);
        p[n] = m.from[n] + (m.to[n] - m.from[n]) * t;
        if (i == steps) std::memcpy(p, m.to, sizeof p);
        point(d, 'L', p[h], p[v]);
      }
    } else {
      point(d, 'L', m.to[h], m.to[v]);
    }
    last[0] = m.to[h], last[1] = m.to[v];
  }
  const char* names = "XYZ";
  std::string out;
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"";
  AppendNumber(out, minH);
  out += ' ';
  AppendNumber(out, -maxV);
  out += ' ';
  AppendNumber(out, maxH - minH);
  out += ' ';
  AppendNumber(out, maxV - minV);
  out += "\" width=\"800\" height=\"" + std::to_string(static_cast<int>(std::ceil(800 * (maxV - minV) / (maxH - minH)))) + "\">\n";
  out += std::string("<title>") + tp::PlaneName(plane) + ": " + names[h] + " right, " + names[v] + " up</title>\n";
  out += "<g fill=\"none\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n";
  out += "<path class=\"rapid\" stroke=\"#d04040\" stroke-dasharray=\"";
  AppendNumber(out, stroke * 4);
  out += "\" stroke-width=\"";
  AppendNumber(out, stroke);
  out += "\" d=\"" + rapids + "\"/>\n";
  out += "<path class=\"feed\" stroke=\"#2050c0\" stroke-width=\"";
  AppendNumber(out, stroke * 1.5);
  out += "\" d=\"" + feeds + "\"/>\n";
  out += "</g>\n</svg>\n";
  return out;
}

int WriteToolpath(const ToolpathOptions& options, std::span<const std::string_view> lines, const SourceMapper& source,
                  DiagnosticsOptions::Format findingFormat, std::FILE* out, std::ostream& findings) {
  const tp::Result result = tp::Run(lines, options.settings);
  const auto format = findingFormat == DiagnosticsOptions::Format::Json ? DiagnosticsOptions::Format::Json
                                                                         : DiagnosticsOptions::Format::Gnu;
  for (const tp::ToolpathFinding& f : result.findings) {
    Finding finding;
    finding.severity = f.severity;
    if (f.line > 0) {
      const SourcePlace place = source(f.line);
      finding.file = place.file;
      finding.line = place.line;
    } else {
      finding.file = source(1).file;
    }
    finding.stage = "ツールパス";
    finding.message = f.message + (f.line > 0 ? " (出力の " + std::to_string(f.line) + " 行目)" : "");
    finding.word = f.word;
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
    case ToolpathOptions::Format::Stats: buffer = StatisticsText(result); break;
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
