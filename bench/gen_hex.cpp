// gen_hex [LINES] > file.nc — writes a program that leans on hexadecimal
// constants ("0X1F40", "0x00ff", in upper and lower case, several a line,
// some repeated on their line), with comments, tabs and plain numbers.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  const std::size_t lines = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  std::uint32_t seed = 7;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  auto hex = [&](bool lower) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, lower ? "0x%x" : "0X%X", next() % (next() % 3 == 0 ? 0xFFFFFFu : 0xFFFFu));
    return std::string(buffer);
  };
  std::string out = "%\r\nO7000 (HEX)\r\n";
  char buffer[256];
  for (std::size_t n = 0; n < lines; ++n) {
    const bool lower = next() % 4 == 0;
    std::string line;
    switch (next() % 6) {
      case 0: line = "#" + std::to_string(100 + n % 400) + "=" + hex(lower); break;
      case 1: {
        const std::string h = hex(lower);
        line = "#1=" + h + "+" + h + "*" + hex(lower);
        break;
      }
      case 2: line = "M" + hex(false) + "\t;code"; break;
      case 3: line = "IF[#" + std::to_string(n % 33) + " EQ " + hex(lower) + "]GOTO" + std::to_string(10 + n % 90); break;
      default:
        std::snprintf(buffer, sizeof buffer, "G01 X%.3f Y%.3f Z%s F200", (next() % 100000) / 1000.0,
                      (next() % 100000) / 1000.0, hex(lower).c_str());
        line = buffer;
    }
    out += line + "\r\n";
  }
  out += "M30\r\n%\r\n";
  return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() ? 0 : 1;
}
