// The settings file over arbitrary bytes: parsed, written out and parsed
// again, every value reads the same; the program's settings read from it,
// written back and read again are the same; and writing them keeps every
// key the program does not know.

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/app_settings.h"
#include "settings/ini_file.h"

namespace {

using vostrel::settings::AppSettings;
using vostrel::settings::IniFile;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Every (section, key) the file names, by a plain reading of its lines.
std::vector<std::pair<std::string, std::string>> Keys(const IniFile& file) {
  std::vector<std::pair<std::string, std::string>> keys;
  std::string section;
  bool inSection = false;
  for (const std::string& line : file.Lines()) {
    const std::string_view t = Trim(line);
    if (!t.empty() && t.front() == '[') {
      const std::string_view name = t.substr(1, t.find(']') == std::string_view::npos ? std::string_view::npos
                                                                                      : t.find(']') - 1);
      section = std::string(Trim(name));
      inSection = true;
      continue;
    }
    if (!inSection || t.empty() || t.front() == ';') continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string_view key = Trim(std::string_view(line).substr(0, eq));
    if (!key.empty()) keys.emplace_back(section, std::string(key));
  }
  return keys;
}

// The keys of the settings table, lower-cased as "section/key".
const std::set<std::string>& KnownKeys() {
  static const std::set<std::string> known = [] {
    IniFile file;
    vostrel::settings::WriteAppSettings(AppSettings(), file);
    std::set<std::string> names;
    for (const auto& [section, key] : Keys(file)) names.insert(Lower(section) + "/" + Lower(key));
    return names;
  }();
  return known;
}

bool Same(const AppSettings& a, const AppSettings& b) {
  IniFile fa, fb;
  vostrel::settings::WriteAppSettings(a, fa);
  vostrel::settings::WriteAppSettings(b, fb);
  return fa.Bytes() == fb.Bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  IniFile file;
  file.Parse(bytes);
  const auto keys = Keys(file);
  std::vector<std::optional<std::string>> values;
  for (const auto& [section, key] : keys) values.push_back(file.Get(section, key));

  // Written out and parsed again, every value reads the same.
  IniFile again;
  again.Parse(file.Bytes());
  if (again.Lines() != file.Lines()) std::abort();
  for (std::size_t i = 0; i < keys.size(); ++i)
    if (again.Get(keys[i].first, keys[i].second) != values[i]) std::abort();

  // The program's settings: read, written back, read again.
  const AppSettings settings = vostrel::settings::ReadAppSettings(file);
  IniFile saved = file;
  vostrel::settings::WriteAppSettings(settings, saved);
  IniFile reread;
  reread.Parse(saved.Bytes());
  if (!Same(vostrel::settings::ReadAppSettings(reread), settings)) std::abort();
  // What the program does not know stays as it was.
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (KnownKeys().count(Lower(keys[i].first) + "/" + Lower(keys[i].second))) continue;
    if (reread.Get(keys[i].first, keys[i].second) != values[i]) std::abort();
  }
  return 0;
}
