#pragma once
// Reading a whole file into bytes, safely: a folder, a device (which may
// never end, like /dev/zero) or a socket is refused; a pipe is read to its
// end only where the caller allows it (a source given on a command line),
// since one that nobody writes to would never start.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace vostrel::platform {

enum class Pipes { Refuse, Read };

// Whose fault a failed read is: the file's (missing, unreadable, not a
// file), or the system's (out of file descriptors or memory), which says
// nothing about the file.
enum class ReadFault { File, System };

// On failure `error` says why ("a folder, not a file", "not a regular
// file", or the system's reason) and `fault` whose fault it is.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes, std::string* error = nullptr,
                   Pipes pipes = Pipes::Refuse, ReadFault* fault = nullptr);

// The bytes of a file in room of their own that nothing fills before the
// read does (a large file is read straight into it, written once).
struct FileBytes {
  std::unique_ptr<char[]> data;
  std::size_t size = 0;
  std::string_view view() const { return {data.get(), size}; }
};
bool ReadWholeFile(const std::filesystem::path& path, FileBytes& bytes, std::string* error = nullptr,
                   Pipes pipes = Pipes::Refuse, ReadFault* fault = nullptr);

}  // namespace vostrel::platform
