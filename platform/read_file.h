#pragma once
// Reading a whole file into bytes, safely: a folder, a device (which may
// never end, like /dev/zero) or a socket is refused; a pipe is read to its
// end only where the caller allows it (a source given on a command line),
// since one that nobody writes to would never start.

#include <filesystem>
#include <string>

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

}  // namespace vostrel::platform
