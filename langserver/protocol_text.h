#pragma once
// The editor's text and the pipeline's text. The protocol carries UTF-8
// and counts positions in UTF-16 code units; the pipeline reads Shift-JIS.
// The Shift-JIS text made here holds exactly one character for every
// UTF-16 code unit of the editor's text, so a protocol position is a
// character index of the Shift-JIS line, and back.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vostrel::langserver {

// UTF-8 from the editor as Shift-JIS: a character without a Shift-JIS form
// becomes "?" (two of them for a character of two UTF-16 code units), as
// does a malformed byte.
std::string ProtocolToSjis(std::string_view utf8);

// Where the lines of a text start: a line ends at CR LF, LF or a lone CR,
// as the protocol counts lines.
std::vector<std::size_t> LineStarts(std::string_view text);

// The bytes of line `line` (0-based) without its line end; empty past the end.
std::string_view LineOf(std::string_view text, const std::vector<std::size_t>& starts, std::size_t line);

// The byte offset in the Shift-JIS `line` of character `character`
// (0-based, a double-byte character counting as one); the line's length
// when it has fewer characters.
std::size_t ByteOfCharacter(std::string_view line, std::int64_t character);

// The character index (UTF-16 code unit) of byte `offset` of `line`.
std::int64_t CharacterOfByte(std::string_view line, std::size_t offset);

// file: addresses and paths. A path is absolute and in its normal form.
std::filesystem::path PathFromUri(std::string_view uri);
std::string UriFromPath(const std::filesystem::path& path);

// The path in a normal form for comparisons: absolute, with links and
// "." and ".." resolved where the file exists.
std::filesystem::path NormalPath(const std::filesystem::path& path);

}  // namespace vostrel::langserver
