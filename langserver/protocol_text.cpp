#include "langserver/protocol_text.h"

#include <cstdio>

#include "text/path_text.h"
#include "text/sjis.h"

namespace vostrel::langserver {

namespace {

// The byte length of the UTF-8 sequence led by `lead` (1 for a stray byte).
std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead < 0xC2) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return lead < 0xF5 ? 4 : 1;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string ProtocolToSjis(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out += utf8[i++];
      continue;
    }
    std::size_t length = Utf8SequenceLength(lead);
    if (i + length > utf8.size()) length = 1;
    const auto converted = length > 1 ? sjis::FromUtf8(utf8.substr(i, length)) : std::nullopt;
    if (converted) out += *converted;
    else out += length == 4 ? "??" : "?";
    i += length;
  }
  return out;
}

std::vector<std::size_t> LineStarts(std::string_view text) {
  std::vector<std::size_t> starts{0};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') starts.push_back(i + 1);
    else if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) starts.push_back(i + 1);
  }
  return starts;
}

std::string_view LineOf(std::string_view text, const std::vector<std::size_t>& starts, std::size_t line) {
  if (line >= starts.size()) return {};
  std::size_t end = line + 1 < starts.size() ? starts[line + 1] : text.size();
  if (end > starts[line] && text[end - 1] == '\n') --end;
  if (end > starts[line] && text[end - 1] == '\r') --end;
  return text.substr(starts[line], end - starts[line]);
}

std::size_t ByteOfCharacter(std::string_view line, std::int64_t character) {
  std::size_t offset = 0;
  for (std::int64_t i = 0; i < character && offset < line.size(); ++i) offset += sjis::CharLength(line, offset);
  return offset;
}

std::int64_t CharacterOfByte(std::string_view line, std::size_t offset) {
  std::int64_t character = 0;
  for (std::size_t i = 0; i < offset && i < line.size(); i += sjis::CharLength(line, i)) ++character;
  return character;
}

std::filesystem::path PathFromUri(std::string_view uri) {
  std::string_view rest = uri;
  if (rest.substr(0, 7) == "file://") rest.remove_prefix(7);
  std::string decoded;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 && HexValue(rest[i + 2]) >= 0) {
      decoded += static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
      i += 2;
    } else {
      decoded += rest[i];
    }
  }
  // file:///c:/dir names c:/dir on Windows.
  if (decoded.size() > 2 && decoded[0] == '/' && decoded[2] == ':') decoded.erase(0, 1);
  return NormalPath(PathFromUtf8(decoded));
}

std::string UriFromPath(const std::filesystem::path& path) {
  std::string text = PathToUtf8(path.generic_u8string());
  std::string uri = "file://";
  if (!text.empty() && text[0] != '/') uri += '/';
  // A drive letter in lower case, as editors write it.
  if (text.size() > 1 && text[1] == ':' && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] - 'A' + 'a');
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
        std::string_view("-._~/").find(c) != std::string_view::npos) {
      uri += c;
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", byte);
      uri += escape;
    }
  }
  return uri;
}

std::filesystem::path NormalPath(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) absolute = path;
  std::filesystem::path normal = std::filesystem::weakly_canonical(absolute, ec);
  return ec ? absolute.lexically_normal() : normal;
}

}  // namespace vostrel::langserver
