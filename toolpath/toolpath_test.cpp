#include "toolpath/toolpath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

namespace vostrel::toolpath {
namespace {

Result RunText(const std::string& text, Settings settings = {}) {
  settings.decimalInput = DecimalInput::Calculator;
  const std::vector<std::string_view> lines = SplitProgramLines(text);
  return toolpath::Run(lines, settings);
}

struct Point {
  double x, y, z;
};

void ExpectAt(const double p[3], Point expected, const std::string& what) {
  EXPECT_NEAR(p[0], expected.x, 1e-9) << what;
  EXPECT_NEAR(p[1], expected.y, 1e-9) << what;
  EXPECT_NEAR(p[2], expected.z, 1e-9) << what;
}

std::string FindingsOf(const Result& r) {
  std::string out;
  for (const ToolpathFinding& f : r.findings) out += std::to_string(f.line) + ": " + f.message + "\n";
  return out;
}

TEST(Toolpath, FullCircleByIjk) {
  const Result r = RunText("G17G90G0X10.Y0Z0\nG02I-10.F600\nM30\n");
  ASSERT_EQ(r.motions.size(), 2u) << FindingsOf(r);
  const Motion& arc = r.motions[1];
  EXPECT_EQ(arc.type, MotionType::Arc);
  EXPECT_TRUE(arc.clockwise);
  EXPECT_EQ(arc.line, 2);
  ExpectAt(arc.from, {10, 0, 0}, "from");
  ExpectAt(arc.to, {10, 0, 0}, "to");
  ExpectAt(arc.center, {0, 0, 0}, "center");
  const Statistics& s = r.statistics;
  EXPECT_NEAR(s.feedLength, 2 * std::numbers::pi * 10, 1e-9);
  EXPECT_NEAR(s.min[0], -10, 1e-9);
  EXPECT_NEAR(s.max[1], 10, 1e-9);
  EXPECT_NEAR(s.min[1], -10, 1e-9);
  EXPECT_NEAR(s.feedSeconds, 2 * std::numbers::pi * 10 / 600 * 60, 1e-9);
}

// Arcs by radius in every plane: a negative R takes the long way.
TEST(Toolpath, ArcCentres) {
  const struct {
    const char* block;
    Point center;
    bool clockwise;
    double length;
  } cases[] = {
      {"G17G02X10.Y10.R10.", {10, 0, 0}, true, std::numbers::pi * 5},
      {"G17G03X10.Y10.R10.", {0, 10, 0}, false, std::numbers::pi * 5},
      {"G17G02X10.Y10.R-10.", {0, 10, 0}, true, std::numbers::pi * 15},
      {"G17G02X10.Y10.I10.", {10, 0, 0}, true, std::numbers::pi * 5},
      {"G18G02X10.Z10.R10.", {0, 0, 10}, true, std::numbers::pi * 5},
      {"G18G03X10.Z10.R10.", {10, 0, 0}, false, std::numbers::pi * 5},
      {"G19G02Y10.Z10.R10.", {0, 10, 0}, true, std::numbers::pi * 5},
      {"G17G03X10.Y10.Z-3.R10.", {0, 10, 0}, false, std::hypot(std::numbers::pi * 5, 3)},
  };
  for (const auto& c : cases) {
    const Result r = RunText(std::string("G90F100\n") + c.block + "\n");
    ASSERT_EQ(r.motions.size(), 1u) << c.block << FindingsOf(r);
    ExpectAt(r.motions[0].center, c.center, c.block);
    EXPECT_EQ(r.motions[0].clockwise, c.clockwise) << c.block;
    EXPECT_NEAR(r.statistics.feedLength, c.length, 1e-9) << c.block;
  }
}

// G91 with K: each repeat moves by X again; R is measured from the initial
// level and Z from R.
TEST(Toolpath, CannedCycleWithRepeatsInIncrementalMode) {
  for (const bool g98 : {false, true}) {
    const std::string program = std::string("G90G0X0Y0Z10.\nG91") + (g98 ? "G98" : "G99") +
                                "G81X10.Y5.Z-5.R-8.K3F100\nG80\nM30\n";
    const Result r = RunText(program);
    const double back = g98 ? 10 : 2;
    // Per hole: rapid in the plane, rapid to R, feed to the bottom, rapid out.
    ASSERT_EQ(r.motions.size(), 1 + 3 * 4u - (g98 ? 0 : 2)) << FindingsOf(r);
    std::vector<Point> feeds;
    for (const Motion& m : r.motions)
      if (m.type == MotionType::Feed) {
        ExpectAt(m.from, {m.to[0], m.to[1], 2}, "a hole starts at R");
        feeds.push_back({m.to[0], m.to[1], m.to[2]});
      }
    ASSERT_EQ(feeds.size(), 3u);
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(feeds[k].x, 10.0 * (k + 1), 1e-9);
      EXPECT_NEAR(feeds[k].y, 5.0 * (k + 1), 1e-9);
      EXPECT_NEAR(feeds[k].z, -3, 1e-9);
    }
    EXPECT_NEAR(r.motions.back().to[2], back, 1e-9);
    EXPECT_NEAR(r.statistics.min[2], -3, 1e-9);
  }
}

TEST(Toolpath, PeckCyclesReachTheBottomInSteps) {
  Settings settings;
  settings.peckClearance = 0.25;
  settings.peckRetract = 0.25;
  for (const char* cycle : {"G83", "G73"}) {
    const Result r = RunText(std::string("G90G0X0Y0Z5.\nG98") + cycle + "X1.Y1.Z-3.R1.Q1.5F50\nG80\n", settings);
    std::vector<double> depths, holeBottoms;
    for (const Motion& m : r.motions) {
      if (m.type == MotionType::Feed) depths.push_back(m.to[2]);
      if (m.holeBottom) holeBottoms.push_back(m.to[2]);
    }
    EXPECT_EQ(depths, (std::vector<double>{-0.5, -2, -3})) << cycle << FindingsOf(r);
    EXPECT_EQ(holeBottoms, (std::vector<double>{-3})) << cycle;  // the last peck alone marks the hole
    EXPECT_NEAR(r.motions.back().to[2], 5, 1e-9) << cycle;
  }
}

TEST(Toolpath, RunawayLoopStopsAtTheBlockLimit) {
  Settings settings;
  settings.blockLimit = 10000;
  for (const char* program : {"#1=0\nWHILE[1EQ1]DO1\n#1=#1+1\nEND1\nM30\n", "N10G91G01X1.F100\nGOTO10\n",
                              "G65H01P#1Q0\nN5G65H02P#1Q#1R1\nG65H80P5\n"}) {
    const Result r = RunText(program, settings);
    EXPECT_TRUE(r.stopped) << program;
    ASSERT_FALSE(r.findings.empty()) << program;
    const ToolpathFinding& last = r.findings.back();
    EXPECT_EQ(last.severity, Severity::Error);
    EXPECT_NE(last.message.find("10000"), std::string::npos) << last.message;
    EXPECT_GE(last.line, 1) << program;  // a line of the loop
    EXPECT_LE(last.line, 3) << program;
    EXPECT_LE(r.statistics.blocks, 10001);
  }
}

// What each program leaves at X (through G01 X#1 at its end), by custom
// macro statements and by the Macro A calls that Vostrel writes for them.
TEST(Toolpath, MacroStatementsAndTheirMacroACalls) {
  const struct {
    const char* macroB;
    const char* macroA;
    double x;
  } cases[] = {
      {"#2=3\n#3=4\n#1=#2+#3", "G65H01P#2Q3\nG65H01P#3Q4\nG65H02P#1Q#2R#3", 7},
      {"#2=3\n#1=#2-10", "G65H01P#2Q3\nG65H03P#1Q#2R10", -7},
      {"#2=3\n#1=1.5*#2", "G65H01P#2Q3\nG65H04P#1Q1.5R#2", 4.5},
      {"#2=3\n#1=#2/4", "G65H01P#2Q3\nG65H05P#1Q#2R4", 0.75},
      {"#2=9\n#1=SQRT[#2]", "G65H01P#2Q9\nG65H21P#1Q#2", 3},
      {"#2=-9\n#1=ABS[#2]", "G65H01P#2Q-9\nG65H22P#1Q#2", 9},
      {"#1=2*SIN[30]", "G65H31P#1Q2R30", 1},
      {"#1=2*COS[60]", "G65H32P#1Q2R60", 1},
      {"#1=ATAN[1]/[-1]", "G65H34P#1Q1R-1", 135},
      {"#1=10MOD4", "G65H23P#1Q10R4", 2},
      {"#1=6AND3", "G65H12P#1Q6R3", 2},
      {"#1=6OR3", "G65H11P#1Q6R3", 7},
      {"#1=6XOR3", "G65H13P#1Q6R3", 5},
      {"#1=-#5\n#1=#1+2", "G65H01P#1Q-#5\nG65H02P#1Q#1R2", 2},
      {"#1=1+2+3", "G65H02P#1Q1R2+3", 6},
      {"#1=0\nN1#1=#1+1\nIF[#1LT5]GOTO1", "G65H01P#1Q0\nN1G65H02P#1Q#1R1\nG65H84P1Q#1R5", 5},
      {"#1=0\nIF[#1EQ0]GOTO7\n#1=9\nN7", "G65H01P#1Q0\nG65H81P7Q#1R0\nG65H01P#1Q9\nN7", 0},
      {"#1=3\nGOTO8\n#1=9\nN8", "G65H01P#1Q3\nG65H80P8\nG65H01P#1Q9\nN8", 3},
  };
  for (const auto& c : cases) {
    for (const char* body : {c.macroB, c.macroA}) {
      const Result r = RunText(std::string("G90G01F100\n") + body + "\nG01X#1Y1.\nM30\n");
      ASSERT_FALSE(r.stopped) << body << "\n" << FindingsOf(r);
      ASSERT_EQ(r.motions.size(), 1u) << body;
      EXPECT_NEAR(r.motions[0].to[0], c.x, 1e-9) << body;
    }
  }
}

TEST(Toolpath, AlarmsStopTheProgram) {
  for (const char* program : {"G0X1.\n#3000=5(BROKEN TOOL)\nG0X2.\n", "G0X1.\nG65H99P5(BROKEN TOOL)\nG0X2.\n"}) {
    const Result r = RunText(program);
    EXPECT_TRUE(r.stopped);
    ASSERT_EQ(r.motions.size(), 1u) << program;
    ASSERT_FALSE(r.findings.empty());
    EXPECT_EQ(r.findings.back().line, 2);
    EXPECT_NE(r.findings.back().message.find("BROKEN TOOL"), std::string::npos);
  }
}

// Programs and macro calls; every case ends with the tool at the point given.
TEST(Toolpath, ProgramFlow) {
  const struct {
    const char* name;
    const char* program;
    Point end;
    std::size_t motions;
  } cases[] = {
      {"M98 with L", "G91G01F100\nM98P100L3\nM30\nO100\nX1.\nM99\n", {3, 0, 0}, 3},
      {"M98 P count and program", "G91G01F100\nM98P20100\nM30\nO100\nX1.\nM99\n", {2, 0, 0}, 2},
      {"M98 nested", "G91G01F100\nM98P1\nM30\nO1\nM98P2L2\nY1.\nM99\nO2\nX1.\nM99\n", {2, 1, 0}, 3},
      {"M99 P returns to a sequence number", "G90G01F100\nM98P5\nX9.\nN40Y4.\nM30\nO5\nX1.\nM99P40\n", {1, 4, 0}, 2},
      {"G65 arguments", "G90G01F100\nG65P9000A2.X3.Y4.\nM30\nO9000\nX[#24*#1]Y#25Z#26\nM99\n", {6, 4, 0}, 1},
      {"G65 locals are the caller's again after M99",
       "#1=5.\nG65P9000A2.\nG90G01X#1F100\nM30\nO9000\n#1=7.\nM99\n", {5, 0, 0}, 1},
      {"WHILE loop", "G91G01F100\n#1=0\nWHILE[#1LT4]DO1\nX1.\n#1=#1+1\nEND1\nM30\n", {4, 0, 0}, 4},
      {"nested loops",
       "G91G01F100\n#1=0\nWHILE[#1LT2]DO1\n#2=0\nWHILE[#2LT3]DO2\nX1.\n#2=#2+1\nEND2\nY1.\n#1=#1+1\nEND1\nM30\n",
       {6, 2, 0}, 8},
      {"computed GOTO", "#5=30\nGOTO#5\nN20G0X1.\nN30G0X2.\nM30\n", {2, 0, 0}, 1},
      {"IF THEN", "#1=1\nIF[#1EQ1]THEN#2=3.\nG0X#2\nM30\n", {3, 0, 0}, 1},
      {"M30 ends before the subprograms", "G0X1.\nM30\nO2\nG0X5.\nM99\n", {1, 0, 0}, 1},
      {"a program that calls one not in the file goes on", "G0X1.\nM98P77\nG0X2.\nM30\n", {2, 0, 0}, 2},
  };
  for (const auto& c : cases) {
    const Result r = RunText(c.program);
    EXPECT_FALSE(r.stopped) << c.name << "\n" << FindingsOf(r);
    ASSERT_EQ(r.motions.size(), c.motions) << c.name << "\n" << FindingsOf(r);
    ExpectAt(r.motions.back().to, c.end, c.name);
  }
}

// Work offsets, G92, G52, G28, G53 and inch and increment input.
TEST(Toolpath, CoordinateSystems) {
  const struct {
    const char* name;
    const char* program;
    Point end;
    DecimalInput input;
  } cases[] = {
      {"G54 without offsets", "G54G90G0X1.Y2.Z3.\n", {1, 2, 3}, DecimalInput::Calculator},
      {"G10 L2 sets G55", "G10L2P2X100.Y50.Z-10.\nG55G90G0X1.Y2.Z3.\n", {101, 52, -7}, DecimalInput::Calculator},
      {"G10 L2 in G91 adds", "G10L2P1X5.\nG91G10L2P1X5.\nG90G54G0X1.\n", {11, 0, 0}, DecimalInput::Calculator},
      {"the work offset variables", "#5221=20.\nG54G90G0X1.\n", {21, 0, 0}, DecimalInput::Calculator},
      {"G92 shifts", "G90G0X10.\nG92X0\nG0X5.\n", {15, 0, 0}, DecimalInput::Calculator},
      {"G52 local", "G52X7.\nG90G0X1.\n", {8, 0, 0}, DecimalInput::Calculator},
      {"G28 through the intermediate point", "G90G0X10.Y10.Z10.\nG91G28Z0\n", {10, 10, 0}, DecimalInput::Calculator},
      {"G53 machine", "G10L2P1X50.\nG54G90G0X1.\nG53X3.\n", {3, 0, 0}, DecimalInput::Calculator},
      {"increments", "G21G90G0X10Y10.Z-1\n", {0.01, 10, -0.001}, DecimalInput::Increment},
      {"inch increments", "G20G90G0X10Y10.\n", {0.001, 10, 0}, DecimalInput::Increment},
      {"as written", "G21G90G0X10Y10.\n", {10, 10, 0}, DecimalInput::Calculator},
      {"position variables", "G10L2P1X5.\nG90G54G0X2.\n#1=#5001\n#2=#5021\nG0Y#1Z#2\n", {7, 2, 7}, DecimalInput::Calculator},
  };
  for (const auto& c : cases) {
    Settings settings;
    settings.decimalInput = c.input;
    const std::vector<std::string_view> lines = SplitProgramLines(c.program);
    const Result r = toolpath::Run(lines, settings);
    ASSERT_FALSE(r.motions.empty()) << c.name << "\n" << FindingsOf(r);
    ExpectAt(r.motions.back().to, c.end, c.name);
  }
}

TEST(Toolpath, WhatIsNotSimulatedIsReportedWithItsLine) {
  const struct {
    const char* program;
    int line;
    const char* word;
  } cases[] = {
      {"G0X0\nG41D1G01X10.F100\n", 2, "G41"}, {"G0X0\nG43H1Z10.\n", 2, "G43"}, {"G68X0Y0R30.\n", 1, "G68"},
      {"G0X0\nG0X1.\nG51X0Y0P2\n", 3, "G51"}, {"G16\n", 1, "G16"},          {"G0X1.\nG12.1\n", 2, "G12.1"},
      {"G0A90.\n", 1, "A"},
  };
  for (const auto& c : cases) {
    const Result r = RunText(c.program);
    ASSERT_EQ(r.findings.size(), 1u) << c.program << FindingsOf(r);
    EXPECT_EQ(r.findings[0].line, c.line) << c.program;
    EXPECT_EQ(r.findings[0].word, c.word) << c.program;
    EXPECT_EQ(r.findings[0].severity, Severity::Warning);
  }
}

TEST(Toolpath, Statistics) {
  Settings settings;
  settings.rapidRate = 6000;
  const Result r = RunText(
      "%\nO1\nT1M06(DRILL 5)\nG90G0X0Y0Z50.\nG01Z-2.F120\nT2(FACE MILL)\nM06\nG0Z50.\nT1M6\nG04P1500\nM30\n%\n",
      settings);
  const Statistics& s = r.statistics;
  EXPECT_EQ(s.toolChanges, 3);
  ASSERT_EQ(s.tools.size(), 2u);
  EXPECT_EQ(s.tools[0].number, 1);
  EXPECT_EQ(s.tools[0].remark, "DRILL 5");
  EXPECT_EQ(s.tools[1].number, 2);
  EXPECT_EQ(s.tools[1].line, 6);
  EXPECT_EQ(s.tools[1].remark, "FACE MILL");
  EXPECT_NEAR(s.min[2], -2, 1e-12);
  EXPECT_NEAR(s.max[2], 50, 1e-12);
  EXPECT_NEAR(s.rapidLength, 102, 1e-12);
  EXPECT_NEAR(s.feedLength, 52, 1e-12);
  EXPECT_NEAR(s.rapidSeconds, 1.02, 1e-12);
  EXPECT_NEAR(s.feedSeconds, 26, 1e-12);
  EXPECT_NEAR(s.dwellSeconds, 1.5, 1e-12);
  EXPECT_EQ(s.blocks, 10);
  EXPECT_EQ(s.rapids, 2);
  EXPECT_EQ(s.feeds, 1);
}

}  // namespace
}  // namespace vostrel::toolpath
