// gen_names [LINES] [DEFINITIONS] [long|sjis|repeat] > file.nc — writes a
// program whose definitions have long names ("long", 12 to 40 bytes),
// Shift-JIS names ("sjis", two to five double-byte characters and a digit
// suffix), or a few names defined again and again with the same value
// ("repeat": a tenth of DEFINITIONS names, 18 of them one-byte, each
// defined ten times over), followed by statements that use them.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  const std::size_t lines = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  const std::size_t definitions = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20000;
  const std::string kind = argc > 3 ? argv[3] : "long";
  std::uint32_t seed = 31;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  std::vector<std::string> names;
  const std::string oneByte = "abcdehklmnopqstuvw";
  const std::size_t distinct = kind == "repeat" ? std::max<std::size_t>(definitions / 10, 1) : definitions;
  for (std::size_t i = 0; i < distinct; ++i) {
    std::string name;
    if (kind == "sjis") {
      // Lead bytes 0x89-0x9F, trail bytes 0x40-0xFC without 0x7F: kanji,
      // some of whose second bytes are "[", "\" or "]".
      for (std::size_t c = 0, count = 2 + i % 4; c < count; ++c) {
        name += static_cast<char>(0x89 + next() % 0x17);
        unsigned trail = 0x40 + next() % 0xBC;
        if (trail == 0x7F) ++trail;
        name += static_cast<char>(trail);
      }
      name += std::to_string(i);
    } else if (kind == "repeat" && i % 4 == 3 && i / 4 < oneByte.size()) {
      name = oneByte.substr(i / 4 % oneByte.size(), 1);
    } else {
      static const char* const kWords[] = {"SPINDLE", "FEED", "ROUGH", "FINISH", "TOOL", "OFFSET", "DEPTH", "PITCH"};
      name = kWords[i % 8];
      for (std::size_t n = i; name.size() < 12 + i % 29; n /= 26) name += static_cast<char>('A' + n % 26);
    }
    names.push_back(name);
  }
  std::string out = "%\r\nO8000 (NAMES)\r\n";
  for (std::size_t i = 0; i < definitions; ++i) {
    const std::string& name = names[i % names.size()];
    const std::size_t value = 100 + std::hash<std::string>{}(name) % 400;
    out += "$" + name + "\t#" + std::to_string(value) + " ;definition " + std::to_string(i) + "\r\n";
  }
  auto name = [&] { return names[next() % names.size()]; };
  char buffer[512];
  for (std::size_t n = 0; n < lines; ++n) {
    std::string line;
    switch (next() % 5) {
      case 0: line = "#" + std::to_string(100 + n % 50) + "=" + name() + "+" + name(); break;
      case 1: line = "IF[" + name() + " GT 0]GOTO" + std::to_string(10 + n % 90); break;
      case 2: line = "#3000=" + std::to_string(1 + n % 9) + "(TOOL ALARM)"; break;
      default:
        std::snprintf(buffer, sizeof buffer, "G01 X[%s] Y%.3f F200 ;move", name().c_str(), (next() % 100000) / 1000.0);
        line = buffer;
    }
    out += line + "\r\n";
  }
  out += "M30\r\n%\r\n";
  return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() ? 0 : 1;
}
