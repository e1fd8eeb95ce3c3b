#pragma once
// A deterministic CAM-like NC program: rapid and cutting moves with
// coordinates, feeds, comments, tabs, lower case and a few Shift-JIS remarks.

#include <cstdint>
#include <cstdio>
#include <string>

namespace vostrel::bench {

inline std::string GenerateCamProgram(std::size_t lines) {
  std::string text;
  text.reserve(lines * 31);
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  char buffer[128];
  text += "%\r\nO1000 ;\x83\x81\x83\x43\x83\x93 program\r\n";  // "メイン"
  for (std::size_t n = 2; n + 1 < lines; ++n) {
    const unsigned r = next();
    const double x = static_cast<int>(next() % 200000) / 1000.0 - 100.0;
    const double y = static_cast<int>(next() % 200000) / 1000.0 - 100.0;
    int len;
    switch (r % 16) {
      case 0:
        len = std::snprintf(buffer, sizeof buffer, "g00\tx%.3f y%.3f ;rapid\r\n", x, y);
        break;
      case 1:
        len = std::snprintf(buffer, sizeof buffer, "(\x90\xd8\x8d\xed %u)\r\n", r % 1000);  // 切削
        break;
      case 2:
        len = std::snprintf(buffer, sizeof buffer, "G01 Z%.3f F%u\r\n", -static_cast<double>(r % 5000) / 1000.0, 100 + r % 900);
        break;
      case 3:
        len = std::snprintf(buffer, sizeof buffer, "N%zu G01 X%.3f Y%.3f F%u\r\n", n, x, y, 100 + r % 900);
        break;
      default:  // every other move carries its sequence number
        len = n % 2 ? std::snprintf(buffer, sizeof buffer, "N%zu X%.3f Y%.3f Z%.3f\r\n", n, x, y,
                                    -static_cast<double>(r % 5000) / 1000.0)
                    : std::snprintf(buffer, sizeof buffer, "X%.3f Y%.3f Z%.3f\r\n", x, y,
                                    -static_cast<double>(r % 5000) / 1000.0);
        break;
    }
    text.append(buffer, static_cast<std::size_t>(len));
  }
  text += "M30\r\n%\r\n";
  return text;
}

}  // namespace vostrel::bench
