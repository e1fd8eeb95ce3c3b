// Lengths, extents and times of a list of motions.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "toolpath/toolpath.h"

namespace vostrel::toolpath {

namespace {

struct Axes {
  int a, b, n;
};

Axes AxesOf(Plane p) {
  switch (p) {
    case Plane::XY: return {0, 1, 2};
    case Plane::ZX: return {2, 0, 1};
    case Plane::YZ: return {1, 2, 0};
  }
  return {0, 1, 2};
}

void Include(Statistics& s, const double p[3]) {
  if (!s.hasExtent) {
    for (int i = 0; i < 3; ++i) s.min[i] = s.max[i] = p[i];
    s.hasExtent = true;
    return;
  }
  for (int i = 0; i < 3; ++i) {
    s.min[i] = std::min(s.min[i], p[i]);
    s.max[i] = std::max(s.max[i], p[i]);
  }
}

}  // namespace

// The swept angle of an arc, counter-clockwise positive, in (0, 2 pi]; a
// full circle when it ends where it starts.
double ArcSweep(const Motion& m, double& radius, double& startAngle) {
  const Axes ax = AxesOf(m.plane);
  const double sa = m.from[ax.a] - m.center[ax.a], sb = m.from[ax.b] - m.center[ax.b];
  const double ea = m.to[ax.a] - m.center[ax.a], eb = m.to[ax.b] - m.center[ax.b];
  radius = std::hypot(sa, sb);
  startAngle = std::atan2(sb, sa);
  double sweep = std::atan2(eb, ea) - startAngle;
  constexpr double kTwoPi = 2 * std::numbers::pi;
  if (m.clockwise) sweep = -sweep;
  while (sweep <= 1e-12) sweep += kTwoPi;
  while (sweep > kTwoPi + 1e-12) sweep -= kTwoPi;
  return m.clockwise ? -sweep : sweep;
}

void MeasureMotions(std::span<const Motion> motions, double rapidRate, Statistics& s) {
  s.hasExtent = false;
  s.rapidLength = s.feedLength = s.rapidSeconds = s.feedSeconds = 0;
  s.rapids = s.feeds = s.arcs = 0;
  const double rate = s.inch ? rapidRate / 25.4 : rapidRate;
  for (const Motion& m : motions) {
    Include(s, m.from);
    Include(s, m.to);
    double length;
    if (m.type == MotionType::Arc) {
      double radius, start;
      const double sweep = ArcSweep(m, radius, start);
      const Axes ax = AxesOf(m.plane);
      length = std::hypot(radius * sweep, m.to[ax.n] - m.from[ax.n]);
      // The arc's bulge: every quarter point it passes.
      constexpr double kQuarter = std::numbers::pi / 2;
      const double step = sweep > 0 ? kQuarter : -kQuarter;
      double first = sweep > 0 ? std::ceil(start / kQuarter) * kQuarter : std::floor(start / kQuarter) * kQuarter;
      if (first == start) first += step;
      for (double angle = first; sweep > 0 ? angle < start + sweep : angle > start + sweep; angle += step) {
        double p[3] = {m.from[0], m.from[1], m.from[2]};
        p[ax.a] = m.center[ax.a] + radius * std::cos(angle);
        p[ax.b] = m.center[ax.b] + radius * std::sin(angle);
        Include(s, p);
      }
      ++s.arcs;
    } else {
      length = std::hypot(m.to[0] - m.from[0], m.to[1] - m.from[1], m.to[2] - m.from[2]);
      ++(m.type == MotionType::Rapid ? s.rapids : s.feeds);
    }
    if (m.type == MotionType::Rapid) {
      s.rapidLength += length;
      if (rate > 0) s.rapidSeconds += length / rate * 60;
    } else {
      s.feedLength += length;
      if (m.feed > 0) s.feedSeconds += length / m.feed * 60;
    }
  }
}

}  // namespace vostrel::toolpath
