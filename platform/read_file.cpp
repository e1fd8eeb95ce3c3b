#include "platform/read_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <ios>
#include <iterator>
#include <new>
#include <system_error>

namespace vostrel::platform {

namespace {

// Where a read puts the bytes: room for the size the file has, then the
// bytes read past it (a pipe's, or a file's that grew meanwhile).
class ReadTarget {
 public:
  virtual char* Room(std::size_t size) = 0;
  virtual void Finish(std::size_t read, std::string_view rest) = 0;
  virtual void Clear() = 0;

 protected:
  ~ReadTarget() = default;
};

bool ReadInto(const std::filesystem::path& path, ReadTarget& target, std::string* error, Pipes pipes,
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
    std::size_t read = 0;
    if (!pipe) {
      in.seekg(0, std::ios::end);
      const std::streamoff size = in.tellg();
      in.seekg(0, std::ios::beg);
      if (size > 0) {
        in.read(target.Room(static_cast<std::size_t>(size)), size);
        read = static_cast<std::size_t>(in.gcount());
        in.clear();
      }
    }
    const std::string rest{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    target.Finish(read, rest);
  } catch (const std::bad_alloc&) {
    target.Clear();
    if (fault) *fault = ReadFault::System;
    return fail("the file is too large to read");
  } catch (const std::ios_base::failure& failure) {  // a read error (/proc/self/mem, a bad disk)
    target.Clear();
    return fail(failure.code().message());
  }
  if (in.bad()) return fail(std::strerror(errno ? errno : EIO));
  return true;
}

}  // namespace

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes, std::string* error, Pipes pipes,
                   ReadFault* fault) {
  class IntoString final : public ReadTarget {
   public:
    explicit IntoString(std::string& bytes) : bytes_(bytes) {}
    char* Room(std::size_t size) override {
      bytes_.resize(size);
      return bytes_.data();
    }
    void Finish(std::size_t read, std::string_view rest) override { bytes_.resize(read); bytes_ += rest; }
    void Clear() override { bytes_.clear(); }

   private:
    std::string& bytes_;
  };
  bytes.clear();
  IntoString target(bytes);
  return ReadInto(path, target, error, pipes, fault);
}

bool ReadWholeFile(const std::filesystem::path& path, FileBytes& bytes, std::string* error, Pipes pipes,
                   ReadFault* fault) {
  class IntoRoom final : public ReadTarget {
   public:
    explicit IntoRoom(FileBytes& bytes) : bytes_(bytes) {}
    char* Room(std::size_t size) override {
      bytes_.data.reset(new char[size]);  // not filled: the read writes every byte
      return bytes_.data.get();
    }
    void Finish(std::size_t read, std::string_view rest) override {
      bytes_.size = read;
      if (rest.empty()) return;
      std::unique_ptr<char[]> whole(new char[read + rest.size()]);
      if (read > 0) std::memcpy(whole.get(), bytes_.data.get(), read);
      std::memcpy(whole.get() + read, rest.data(), rest.size());
      bytes_.data = std::move(whole);
      bytes_.size += rest.size();
    }
    void Clear() override { bytes_ = FileBytes{}; }

   private:
    FileBytes& bytes_;
  };
  bytes = FileBytes{};
  IntoRoom target(bytes);
  return ReadInto(path, target, error, pipes, fault);
}

}  // namespace vostrel::platform
