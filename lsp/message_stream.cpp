#include "lsp/message_stream.h"

#include <cstdlib>

namespace vostrel::lsp {

namespace {

// One header line without its CR LF; nullopt at the end of the stream.
std::optional<std::string> ReadHeaderLine(std::FILE* in) {
  std::string line;
  for (int c; (c = std::fgetc(in)) != EOF;) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    line += static_cast<char>(c);
    if (line.size() > 4096) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadMessage(std::FILE* in) {
  std::optional<std::size_t> length;
  for (;;) {
    const std::optional<std::string> line = ReadHeaderLine(in);
    if (!line) return std::nullopt;
    if (line->empty()) {
      if (length) break;
      continue;  // stray empty lines between messages
    }
    constexpr std::string_view kLength = "content-length:";
    if (line->size() > kLength.size()) {
      std::string name = line->substr(0, kLength.size());
      for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      if (name == kLength) length = std::strtoull(line->c_str() + kLength.size(), nullptr, 10);
    }
  }
  std::string body(*length, '\0');
  if (*length > 0 && std::fread(body.data(), 1, *length, in) != *length) return std::nullopt;
  return body;
}

bool WriteMessage(std::FILE* out, std::string_view body) {
  const std::string header = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  return std::fwrite(header.data(), 1, header.size(), out) == header.size() &&
         std::fwrite(body.data(), 1, body.size(), out) == body.size() && std::fflush(out) == 0;
}

}  // namespace vostrel::lsp
