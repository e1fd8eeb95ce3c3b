#pragma once
// A private-profile INI file, byte for byte: Shift-JIS text with CR LF line
// ends, "[Section]" headers and "Key=Value" lines. Section and key names are
// matched without regard to case. Writing a key replaces its value where it
// stands; a new key goes to the end of its section and a new section to the
// end of the file. Every other line (comments, unknown keys, blank lines) is
// kept exactly as it was.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vostrel::settings {

class IniFile {
 public:
  // Reads the file. A missing file gives an empty profile and true; false
  // (with `error`) only when an existing file cannot be read.
  bool Load(const std::filesystem::path& path, std::string* error = nullptr);
  // Takes the lines of `bytes` (CR LF, lone LF; a trailing CR is dropped).
  // A leading UTF-8 byte-order mark is no part of the first line; it is
  // written back by Bytes().
  void Parse(std::string_view bytes);

  // The value of `key` in `section` (blanks around it trimmed), or nullopt
  // when the section or the key is absent. A key with nothing after "="
  // reads as the empty text.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // The whole file: every line followed by CR LF.
  std::string Bytes() const;

  // Writes the whole file to a temporary file beside `path` and renames it
  // over `path`, so the old file stays whole when the write fails. The
  // folder is created when missing. False with `error` on failure.
  bool Save(const std::filesystem::path& path, std::string* error = nullptr) const;

  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  // Index of the header line of `section`, or npos.
  std::size_t FindSection(std::string_view section) const;

  std::vector<std::string> lines_;
  bool byteOrderMark_ = false;
};

// Integer values: optional sign, decimal digits, or "0x"/"0X" and hex
// digits; blanks around are ignored. Anything else (or out of range) gives
// nullopt.
std::optional<int> ParseIniInteger(std::string_view text);

}  // namespace vostrel::settings
