// Windows: the bytes go to "<target>.vostrel-<process id>-<random>.tmp"
// beside the target, are flushed to the disk, and the file is moved over the
// target with write-through; on any failure it is deleted and the target
// stays as it was.

#include "platform/atomic_file.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <random>
#include <system_error>
#include <vector>

#include "text/path_text.h"

namespace vostrel::platform {

namespace fs = std::filesystem;

namespace {

constexpr std::wstring_view kTempMark = L".vostrel-";

// The system's text for an error code, as UTF-8 (the console shows UTF-8;
// the ANSI form would be Shift-JIS on a Japanese system).
std::string Reason(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide(text ? text : L"", length);
  LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L'.')) wide.pop_back();
  if (wide.empty()) return "system error " + std::to_string(code);
  return PathToUtf8(fs::path(wide));
}

std::mutex g_pendingLock;
std::vector<std::wstring> g_pending;

void SetPending(const std::wstring& path, bool pending) {
  const std::lock_guard lock(g_pendingLock);
  if (pending)
    g_pending.push_back(path);
  else
    g_pending.erase(std::remove(g_pending.begin(), g_pending.end(), path), g_pending.end());
}

// A temporary file left behind is removed only once it is an hour old. A
// save under way holds its file open without sharing, so it cannot be
// deleted anyway, also from another machine on a shared folder; a process
// id says nothing about such a save.
constexpr auto kStaleAge = std::chrono::hours(1);

// Temporary files of `name` left in `folder` by a program that was killed.
void RemoveLeftovers(const fs::path& folder, const std::wstring& name) {
  std::error_code ec;
  const std::wstring prefix = name + std::wstring(kTempMark);
  const auto now = fs::file_time_type::clock::now();
  for (const auto& entry : fs::directory_iterator(folder.empty() ? fs::path(L".") : folder, ec)) {
    const std::wstring file = entry.path().filename().wstring();
    if (file.rfind(prefix, 0) != 0 || !file.ends_with(L".tmp")) continue;
    const auto written = fs::last_write_time(entry.path(), ec);
    if (!ec && now - written >= kStaleAge) DeleteFileW(entry.path().c_str());
  }
}

}  // namespace

namespace {

// The checks of a file about to be replaced or created.
bool CheckTarget(const fs::path& path, std::string* error, SaveRules rules) {
  auto fail = [error](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return fail("it is a folder");
  if (attributes & FILE_ATTRIBUTE_DEVICE) return fail("it is not a regular file");
  std::error_code ec;
  if (!rules.replaceHardLinked && fs::hard_link_count(path, ec) > 1)
    return fail("the file has other hard links; replacing it would cut them off");
  if (attributes & FILE_ATTRIBUTE_READONLY) return fail("the file is write-protected");
  return true;
}

}  // namespace

bool CheckReplaceable(const fs::path& path, std::string* error, SaveRules rules) {
  if (!CheckTarget(path, error, rules)) return false;
  // The folder is known before the work rather than after it.
  if (rules.createFolder || GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(L".");
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (error) *error = Reason(GetLastError());
    return false;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (error) *error = Reason(ERROR_DIRECTORY);
    return false;
  }
  return true;
}

bool SaveFileAtomically(const fs::path& path, const std::function<bool(const ByteSink&)>& write,
                        std::string* error, SaveRules rules) {
  auto fail = [error](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  if (!CheckTarget(path, error, rules)) return false;
  const fs::path folder = path.parent_path();
  std::error_code ec;
  if (rules.createFolder && !folder.empty() && !fs::create_directories(folder, ec) && ec)
    return fail("cannot create the folder: " + ec.message());
  RemoveLeftovers(folder, path.filename().wstring());

  std::random_device random;
  const std::wstring temp = path.wstring() + std::wstring(kTempMark) + std::to_wstring(GetCurrentProcessId()) +
                            L"-" + std::to_wstring(random()) + L".tmp";
  SetPending(temp, true);
  HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    SetPending(temp, false);
    return fail(Reason(code));
  }
  DWORD code = 0;
  const ByteSink sink = [&](std::string_view bytes) {
    while (!bytes.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
      DWORD written = 0;
      if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
        code = GetLastError();
        return false;
      }
      bytes.remove_prefix(written);
    }
    return true;
  };
  bool ok = write(sink);
  if (ok && !FlushFileBuffers(file)) ok = false, code = GetLastError();
  if (!CloseHandle(file) && ok) ok = false, code = GetLastError();
  if (ok && !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    ok = false, code = GetLastError();
  if (!ok) DeleteFileW(temp.c_str());
  SetPending(temp, false);
  if (ok) return true;
  return fail(code ? Reason(code) : "the file could not be written");
}

// Windows links need rights few users have; a path is written where it
// names.
bool FollowWriteLinks(const fs::path& path, fs::path& target, std::string* error) {
  if (path.empty()) {
    if (error) *error = Reason(ERROR_FILE_NOT_FOUND);
    return false;
  }
  target = path;
  return true;
}

bool SaveFileAtomically(const fs::path& path, std::string_view bytes, std::string* error, SaveRules rules) {
  return SaveFileAtomically(path, [bytes](const ByteSink& sink) { return sink(bytes); }, error, rules);
}

// Called from the console control handler's thread, not from a signal.
void RemovePendingTempFiles() noexcept {
  const std::lock_guard lock(g_pendingLock);
  for (const std::wstring& temp : g_pending) DeleteFileW(temp.c_str());
}

// The desktop program has no console: nothing to catch.
void RemoveTempFilesOnStopSignals() {}

}  // namespace vostrel::platform
