#pragma once
// What every front end makes of a toolpath: the statistics as text, a
// drawing as SVG seen from any direction, the points of an arc as a
// polyline, and the interpreter's findings in the form of the compile
// run's findings.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "pipeline/finding.h"
#include "toolpath/toolpath.h"

namespace vostrel::toolpath {

// The directions a drawing looks from: down on XY (G17), at XZ (G18) and
// YZ (G19) from the front and the side, and the isometric view.
enum class View : std::uint8_t { XY, XZ, YZ, Isometric };

// A direction of view: the drawing's right and up as vectors in the
// machine's X, Y, Z.
struct Projection {
  double right[3];
  double up[3];
  double Right(const double p[3]) const { return right[0] * p[0] + right[1] * p[1] + right[2] * p[2]; }
  double Up(const double p[3]) const { return up[0] * p[0] + up[1] * p[1] + up[2] * p[2]; }
};

Projection ProjectionOf(View view);
Projection ProjectionOf(Plane plane);  // G17 X right, Y up; G18 X right, Z up; G19 Y right, Z up
// "XY", "XZ", "YZ", "ISO"
const char* ViewName(View view);

// The points of a polyline that follows motion `m` after its start: the
// end of a straight move; an arc (or helix) in chords of at most
// `chordAngle` radians, its last point exactly its end.
template <typename PointFn>
void ForEachPathPoint(const Motion& m, double chordAngle, PointFn&& point) {
  if (m.type != MotionType::Arc) {
    point(m.to);
    return;
  }
  double radius, start;
  const double sweep = ArcSweep(m, radius, start);
  int a = 0, b = 1, n = 2;
  if (m.plane == Plane::ZX) a = 2, b = 0, n = 1;
  if (m.plane == Plane::YZ) a = 1, b = 2, n = 0;
  const int steps = std::max(2, static_cast<int>(std::fabs(sweep) / chordAngle) + 1);
  for (int i = 1; i < steps; ++i) {
    const double t = static_cast<double>(i) / steps, angle = start + sweep * t;
    double p[3];
    p[a] = m.center[a] + radius * std::cos(angle);
    p[b] = m.center[b] + radius * std::sin(angle);
    p[n] = m.from[n] + (m.to[n] - m.from[n]) * t;
    point(p);
  }
  point(m.to);
}

// A coordinate to a micrometre (a ten-thousandth of an inch is 2.54 of
// them), without trailing zeros: 12.5, -0.001, 0.
void AppendCoordinate(std::string& out, double value);

// The statistics as the text of `vostrelc --toolpath stats` and the
// viewer's panel (UTF-8, a line end after each line).
std::string StatisticsText(const Result& result);

// The whole toolpath as an SVG drawing seen through `projection`: rapid
// moves dashed, feed moves solid, arcs as chords of five degrees; `title`
// names the view.
std::string SvgDrawing(const Result& result, const Projection& projection, const std::string& title);

// A finding of the interpreter as a finding of the run: at `sourceLine`
// of `file`, where the program line it names came from.
Finding RunFinding(const ToolpathFinding& finding, const std::string& file, std::int32_t sourceLine);

}  // namespace vostrel::toolpath
