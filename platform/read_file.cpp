#include "platform/read_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <ios>
#include <iterator>
#include <new>
#include <system_error>

namespace vostrel::platform {

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes, std::string* error, Pipes pipes,
                   ReadFault* fault) {
  if (fault) *fault = ReadFault::File;
  auto fail = [error](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  auto failBySystem = [&fail, fault](int code) {
    if (fault && (code == EMFILE || code == ENFILE || code == ENOMEM)) *fault = ReadFault::System;
    return fail(std::strerror(code));
  };
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (std::filesystem::is_directory(status)) return fail("a folder, not a file");
  const bool pipe = std::filesystem::is_fifo(status);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
      !(pipe && pipes == Pipes::Read))
    return fail("not a regular file");
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return failBySystem(errno ? errno : ENOENT);
  try {
    // One read of the whole file where its size is known; a pipe is read
    // to its end.
    bytes.clear();
    if (!pipe) {
      in.seekg(0, std::ios::end);
      const std::streamoff size = in.tellg();
      in.seekg(0, std::ios::beg);
      if (size > 0) {
        bytes.resize(static_cast<std::size_t>(size));
        in.read(bytes.data(), size);
        bytes.resize(static_cast<std::size_t>(in.gcount()));
        in.clear();
      }
    }
    bytes.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::bad_alloc&) {
    bytes.clear();
    if (fault) *fault = ReadFault::System;
    return fail("the file is too large to read");
  } catch (const std::ios_base::failure& failure) {  // a read error (/proc/self/mem, a bad disk)
    bytes.clear();
    return fail(failure.code().message());
  }
  if (in.bad()) return fail(std::strerror(errno ? errno : EIO));
  return true;
}

}  // namespace vostrel::platform
