#pragma once
// Generated macro programs for the end-to-end tests that compare motions.

#include <cstdint>
#include <string>

namespace vostrel::test {

// A macro program in the forms the Macro A conversion rewrites one for one:
// loops by IF[...]GOTO, arithmetic and functions on common variables, and
// moves whose coordinates come from them.
inline std::string MacroProgram(unsigned seed) {
  std::uint32_t state = seed;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  auto var = [&] { return "#" + std::to_string(110 + next() % 6); };
  std::string out = "O7000\nG21G90G17G0X0Y0Z10.\n";
  for (int v = 110; v < 116; ++v) out += "#" + std::to_string(v) + "=" + std::to_string(1 + next() % 9) + ".5\n";
  for (int loop = 0; loop < 4; ++loop) {
    const int label = 10 * (loop + 1);
    out += "#100=0\n";
    out += "N" + std::to_string(label) + "#101=" + var() + "*SIN[#100]\n";
    for (int s = 0; s < 8; ++s) {
      const std::string target = var();
      switch (next() % 11) {
        case 0: out += target + "=" + var() + "+" + var() + "\n"; break;
        case 1: out += target + "=" + var() + "-" + var() + "\n"; break;
        case 2: out += target + "=" + var() + "*0.75\n"; break;
        case 3: out += target + "=" + var() + "/4.\n"; break;
        case 4: out += target + "=ABS[" + var() + "]\n"; break;
        case 5:
          // One function a line: the conversion rewrites no nesting.
          out += "#116=ABS[" + var() + "]\n";
          out += target + "=SQRT[#116]\n";
          break;
        case 6: out += target + "=" + var() + "*COS[" + var() + "]\n"; break;
        case 7: out += target + "=ATAN[" + var() + "]/[2.]\n"; break;
        case 8: out += target + "=-" + var() + "\n"; break;
        case 9: out += target + "=" + var() + "MOD7\n"; break;
        default: out += target + "=" + var() + "\n"; break;
      }
      // Keep the values small: a square root of a negative is an alarm.
      out += "IF[" + target + "LT1000.]GOTO" + std::to_string(label * 100 + s) + "\n";
      out += target + "=1.\n";
      out += "N" + std::to_string(label * 100 + s) + "G01X[#101]Y" + target + "F300\n";
    }
    out += "#100=#100+15.\n";
    out += "IF[#100LE90.]GOTO" + std::to_string(label) + "\n";
    out += "G91G02X10.R6.\nG90\n";
  }
  out += "M30\n";
  return out;
}

}  // namespace vostrel::test
