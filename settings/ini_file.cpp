#include "settings/ini_file.h"

#include "platform/atomic_file.h"
#include "platform/read_file.h"

#include <limits>

namespace vostrel::settings {

namespace {

constexpr std::size_t npos = std::string::npos;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

// The section name of a header line, or nullopt for other lines.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  const std::size_t close = line.find(']');
  return Trim(close == npos ? line : line.substr(0, close));
}

struct KeyLine {
  std::string_view key;    // trimmed
  std::string_view value;  // trimmed
  std::size_t keyEnd;      // offset of the end of the key text in the line
};

// The key and value of a key line, or nullopt (headers, comments, others).
std::optional<KeyLine> ParseKeyLine(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
  const std::size_t eq = line.find('=');
  if (eq == npos) return std::nullopt;
  const std::string_view key = Trim(line.substr(0, eq));
  if (key.empty()) return std::nullopt;
  const std::size_t keyEnd = static_cast<std::size_t>(key.data() - line.data()) + key.size();
  return KeyLine{key, Trim(line.substr(eq + 1)), keyEnd};
}

bool IsBlankLine(std::string_view line) { return Trim(line).empty(); }

}  // namespace

bool IniFile::Load(const std::filesystem::path& path, std::string* error) {
  lines_.clear();
  byteOrderMark_ = false;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return true;
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes, error)) return false;
  Parse(bytes);
  return true;
}

void IniFile::Parse(std::string_view bytes) {
  lines_.clear();
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  byteOrderMark_ = bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark;
  if (byteOrderMark_) bytes.remove_prefix(kByteOrderMark.size());
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t lf = bytes.find('\n', start);
    std::string_view line = bytes.substr(start, lf == npos ? npos : lf - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines_.emplace_back(line);
    if (lf == npos) break;
    start = lf + 1;
  }
}

std::size_t IniFile::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto name = SectionName(lines_[i]);
    if (name && SameName(*name, section)) return i;
  }
  return npos;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  const std::size_t header = FindSection(section);
  if (header == npos) return std::nullopt;
  for (std::size_t i = header + 1; i < lines_.size() && !SectionName(lines_[i]); ++i) {
    const auto parsed = ParseKeyLine(lines_[i]);
    if (parsed && SameName(parsed->key, key)) return std::string(parsed->value);
  }
  return std::nullopt;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::size_t header = FindSection(section);
  if (header == npos) {
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(std::string(key) + "=" + std::string(value));
    return;
  }
  std::size_t lastFilled = header;  // the new key goes after the section's last non-blank line
  std::size_t i = header + 1;
  for (; i < lines_.size() && !SectionName(lines_[i]); ++i) {
    const auto parsed = ParseKeyLine(lines_[i]);
    if (parsed && SameName(parsed->key, key)) {
      // Keep the key as it is spelled in the file; replace what follows it.
      lines_[i] = lines_[i].substr(0, parsed->keyEnd) + "=" + std::string(value);
      return;
    }
    if (!IsBlankLine(lines_[i])) lastFilled = i;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastFilled + 1),
                std::string(key) + "=" + std::string(value));
}

std::string IniFile::Bytes() const {
  std::size_t size = 0;
  for (const auto& line : lines_) size += line.size() + 2;
  std::string bytes;
  bytes.reserve(size + 3);
  if (byteOrderMark_) bytes = "\xEF\xBB\xBF";
  for (const auto& line : lines_) {
    bytes += line;
    bytes += "\r\n";
  }
  return bytes;
}

bool IniFile::Save(const std::filesystem::path& path, std::string* error) const {
  return platform::SaveFileAtomically(path, Bytes(), error, {.createFolder = true});
}

std::optional<int> ParseIniInteger(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  long long value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return std::nullopt;
    value = value * base + digit;
    if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
    return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace vostrel::settings
