// Preloaded into vostrelc by the tests: a file system without unnamed
// temporary files (opening with O_TMPFILE fails, as on FAT and exFAT), and
// on request a failing sync (VOSTREL_SHIM_FAIL_FSYNC) or slow writes to
// files (VOSTREL_SHIM_SLOW_WRITE: 100 ms each), so that a signal can be sent
// while a file is being written.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <ctime>

namespace {

template <class Function>
Function Real(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

int Open(const char* name, const char* path, int flags, va_list args) {
  mode_t mode = 0;
  if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) mode = static_cast<mode_t>(va_arg(args, int));
  if ((flags & O_TMPFILE) == O_TMPFILE) {
    errno = EOPNOTSUPP;
    return -1;
  }
  using OpenFunction = int (*)(const char*, int, ...);
  static const OpenFunction real = Real<OpenFunction>(name);
  return real(path, flags, mode);
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const int fd = Open("open", path, flags, args);
  va_end(args);
  return fd;
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const int fd = Open("open64", path, flags, args);
  va_end(args);
  return fd;
}

int fsync(int fd) {
  if (std::getenv("VOSTREL_SHIM_FAIL_FSYNC")) {
    errno = EIO;
    return -1;
  }
  static const auto real = Real<int (*)(int)>("fsync");
  return real(fd);
}

ssize_t write(int fd, const void* bytes, size_t size) {
  if (fd > 2 && std::getenv("VOSTREL_SHIM_SLOW_WRITE")) {
    const timespec pause{0, 100'000'000};
    nanosleep(&pause, nullptr);
  }
  static const auto real = Real<ssize_t (*)(int, const void*, size_t)>("write");
  return real(fd, bytes, size);
}

}  // extern "C"
