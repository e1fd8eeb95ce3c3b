#pragma once
// The framing of the language server protocol on a byte stream: a header
// ("Content-Length: N", then an empty line, lines ending in CR LF) and N
// bytes of JSON.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace vostrel::lsp {

// The body of the next message; nullopt at the end of the stream (or when
// the header cannot be read: the stream is then out of step for good).
std::optional<std::string> ReadMessage(std::FILE* in);

// Writes one message and flushes; false when the stream is closed.
bool WriteMessage(std::FILE* out, std::string_view body);

}  // namespace vostrel::lsp
