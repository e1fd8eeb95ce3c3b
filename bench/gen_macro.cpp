// gen_macro [LINES] [DEFINITIONS] > file.nc — writes a macro program: the
// definitions first (one in ten of one-byte names), then macro statements
// (assignments, arithmetic, functions, branches, alarms, moves) that use
// the names, with comments, tabs, hexadecimal constants and lower case.

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  const std::size_t lines = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
  const std::size_t definitions = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 2000;
  std::vector<std::string> names;
  std::string out = "%\r\nO9000 (MACRO)\r\n";
  const std::string oneByte = "abcdehklmnopqstuvw";  // address letters stay addresses
  for (std::size_t i = 0; i < definitions; ++i) {
    std::string name;
    if (i % 10 == 9) {
      name = oneByte.substr((i / 10) % oneByte.size(), 1);
    } else {
      name = "P";
      for (std::size_t n = i, length = 3 + i % 12; name.size() < length; n /= 26) name += static_cast<char>('A' + n % 26);
    }
    names.push_back(name);
    // A name that comes round again keeps its value (a different one would
    // stop the run as defined twice).
    const std::size_t value = 100 + std::hash<std::string>{}(name) % 400;
    out += "$" + name + "\t#" + std::to_string(value) + " ;definition " + std::to_string(i) + "\r\n";
  }
  std::uint32_t seed = 99;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  auto name = [&] { return names.empty() ? std::string("#1") : names[next() % names.size()]; };
  char buffer[256];
  for (std::size_t n = 0; n < lines; ++n) {
    std::string line;
    switch (next() % 8) {
      case 0: line = "#" + std::to_string(100 + n % 50) + "=" + name() + "+" + name(); break;
      case 1: line = "if[" + name() + " gt 0x1F]goto" + std::to_string(10 + n % 90); break;
      case 2: line = "#" + std::to_string(200 + n % 50) + "=sqrt[" + name() + "]"; break;
      case 3: line = "#" + std::to_string(300 + n % 50) + "=" + name() + "*sin[" + name() + "]"; break;
      case 4: line = "#3000=" + std::to_string(1 + n % 9) + "(TOOL ALARM)"; break;
      case 5: line = "while[" + name() + " lt 10]do1"; break;
      default:
        std::snprintf(buffer, sizeof buffer, "g01\tx[%s] y%.3f f200 ;move", name().c_str(), (next() % 100000) / 1000.0);
        line = buffer;
    }
    out += line + "\r\n";
  }
  out += "M30\r\n%\r\n";
  return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() ? 0 : 1;
}
