// The statistics as text, the SVG drawing and the findings as the run's.

#include "toolpath/report.h"

#include <charconv>
#include <cstdio>
#include <numbers>

#include "text/sjis.h"

namespace vostrel::toolpath {

namespace {

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

}  // namespace

Projection ProjectionOf(View view) {
  switch (view) {
    case View::XY: return {{1, 0, 0}, {0, 1, 0}};
    case View::XZ: return {{1, 0, 0}, {0, 0, 1}};
    case View::YZ: return {{0, 1, 0}, {0, 0, 1}};
    case View::Isometric: {
      // From +X, -Y, +Z: X to the right and down, Y to the right and up, Z up.
      const double c = std::sqrt(0.5), s = 1 / std::sqrt(6.0);
      return {{c, c, 0}, {-s, s, 2 * s}};
    }
  }
  return {{1, 0, 0}, {0, 1, 0}};
}

Projection ProjectionOf(Plane plane) {
  switch (plane) {
    case Plane::XY: return ProjectionOf(View::XY);
    case Plane::ZX: return ProjectionOf(View::XZ);
    case Plane::YZ: return ProjectionOf(View::YZ);
  }
  return ProjectionOf(View::XY);
}

const char* ViewName(View view) {
  switch (view) {
    case View::XY: return "XY";
    case View::XZ: return "XZ";
    case View::YZ: return "YZ";
    case View::Isometric: return "ISO";
  }
  return "XY";
}

void AppendCoordinate(std::string& out, double value) {
  double rounded = std::round(value * 1e6) / 1e6;
  if (rounded == 0) rounded = 0;  // no "-0"
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, rounded);
  out.append(buffer, result.ptr);
}

std::string StatisticsText(const Result& result) {
  const Statistics& s = result.statistics;
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
  for (const ToolUse& tool : s.tools) {
    out += "  T" + std::to_string(tool.number) + "  line " + std::to_string(tool.line);
    if (!tool.remark.empty()) out += "  " + sjis::ToUtf8(tool.remark);
    out += "\n";
  }
  int errors = 0, warnings = 0;
  for (const ToolpathFinding& f : result.findings) {
    if (f.severity == Severity::Error) ++errors;
    else if (f.severity == Severity::Warning) ++warnings;
  }
  out += "findings:       " + std::to_string(errors) + " error(s), " + std::to_string(warnings) + " warning(s)" +
         (result.stopped ? "; the program stopped early" : "") + "\n";
  return out;
}

std::string SvgDrawing(const Result& result, const Projection& projection, const std::string& title) {
  std::string rapids, feeds;
  double minH = INFINITY, maxH = -INFINITY, minV = INFINITY, maxV = -INFINITY;
  auto point = [&](std::string& d, char command, const double p[3]) {
    const double x = projection.Right(p), y = projection.Up(p);
    minH = std::min(minH, x), maxH = std::max(maxH, x), minV = std::min(minV, y), maxV = std::max(maxV, y);
    d += command;
    AppendCoordinate(d, x);
    d += ' ';
    AppendCoordinate(d, -y);  // SVG's y grows downwards
  };
  // Each path continues where the last move of its kind ended.
  const Motion* lastRapid = nullptr;
  const Motion* lastFeed = nullptr;
  for (const Motion& m : result.motions) {
    const bool rapid = m.type == MotionType::Rapid;
    std::string& d = rapid ? rapids : feeds;
    const Motion*& last = rapid ? lastRapid : lastFeed;
    if (!last || last->to[0] != m.from[0] || last->to[1] != m.from[1] || last->to[2] != m.from[2])
      point(d, 'M', m.from);
    ForEachPathPoint(m, std::numbers::pi / 36, [&](const double p[3]) { point(d, 'L', p); });
    last = &m;
  }
  if (minH > maxH) minH = minV = 0, maxH = maxV = 1;
  const double span = std::max({maxH - minH, maxV - minV, 1e-3});
  const double margin = span * 0.03;
  minH -= margin, maxH += margin, minV -= margin, maxV += margin;
  const double stroke = span / 800;

  std::string out;
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"";
  AppendCoordinate(out, minH);
  out += ' ';
  AppendCoordinate(out, -maxV);
  out += ' ';
  AppendCoordinate(out, maxH - minH);
  out += ' ';
  AppendCoordinate(out, maxV - minV);
  out += "\" width=\"800\" height=\"" + std::to_string(static_cast<int>(std::ceil(800 * (maxV - minV) / (maxH - minH)))) + "\">\n";
  out += "<title>" + title + "</title>\n";
  out += "<g fill=\"none\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n";
  out += "<path class=\"rapid\" stroke=\"#d04040\" stroke-dasharray=\"";
  AppendCoordinate(out, stroke * 4);
  out += "\" stroke-width=\"";
  AppendCoordinate(out, stroke);
  out += "\" d=\"" + rapids + "\"/>\n";
  out += "<path class=\"feed\" stroke=\"#2050c0\" stroke-width=\"";
  AppendCoordinate(out, stroke * 1.5);
  out += "\" d=\"" + feeds + "\"/>\n";
  out += "</g>\n</svg>\n";
  return out;
}

Finding RunFinding(const ToolpathFinding& f, const std::string& file, std::int32_t sourceLine) {
  Finding finding;
  finding.severity = f.severity;
  finding.file = file;
  finding.line = f.line > 0 ? sourceLine : 0;
  finding.stage = "ツールパス";
  finding.message = f.message + (f.line > 0 ? " (出力の " + std::to_string(f.line) + " 行目)" : "");
  finding.word = f.word;
  return finding;
}

}  // namespace vostrel::toolpath
