#include "cli/progress.h"

#include "cli/cli_options.h"
#include "platform/terminal.h"

namespace vostrel::cli {

namespace {

using namespace std::chrono_literals;
constexpr auto kQuietStart = 1s;   // no display for work shorter than this
constexpr auto kRedraw = 200ms;

// How many bytes of UTF-8 `text` fit in `columns`, near enough for a
// status line: wide (East Asian) characters take two columns, half-width
// katakana one.
std::size_t BytesWithin(std::string_view text, std::size_t columns) {
  std::size_t used = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t code = c;
    if (length == 3 && i + 2 < text.size())
      code = ((c & 0x0F) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3F) << 6) |
             (static_cast<unsigned char>(text[i + 2]) & 0x3F);
    const bool wide = length >= 3 && code >= 0x1100 && !(code >= 0xFF61 && code <= 0xFF9F);
    used += wide ? 2 : 1;
    if (used > columns) return i;
    i += length;
  }
  return text.size();
}

std::string Elapsed(std::chrono::steady_clock::duration elapsed) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return text;
}

}  // namespace

bool ProgressWanted(const CliOptions& options) {
  if (options.quiet || !platform::IsTerminal(stderr)) return false;
  // Findings on standard error are read by editors: no line between them.
  if (options.diagnostics.format != DiagnosticsOptions::Format::None && !options.diagnostics.file) return false;
  // The compiled program on the same terminal would be cut by the line.
  return !(options.toStdout && platform::IsTerminal(stdout));
}

TerminalProgress::TerminalProgress(std::FILE* terminal) : terminal_(terminal) {
  ticker_ = std::thread([this] { Tick(); });
}

TerminalProgress::~TerminalProgress() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    Clear();
  }
  wake_.notify_all();
  ticker_.join();
}

void TerminalProgress::SetTask(std::string_view text) {
  std::lock_guard lock(mutex_);
  task_.assign(text);
}

void TerminalProgress::Write(std::string_view text) {
  std::lock_guard lock(mutex_);
  Clear();
  std::fwrite(text.data(), 1, text.size(), terminal_);
  std::fflush(terminal_);
}

void TerminalProgress::Clear() {
  if (!shown_) return;
  std::fputs("\r\x1b[K", terminal_);
  std::fflush(terminal_);
  shown_ = false;
}

void TerminalProgress::Tick() {
  std::unique_lock lock(mutex_);
  if (wake_.wait_until(lock, start_ + kQuietStart, [this] { return stopping_; })) return;
  do {
    const std::int64_t total = total_.load(std::memory_order_relaxed);
    const std::int64_t done = done_.load(std::memory_order_relaxed);
    std::string tail = "  ";
    if (total > 0) tail += std::to_string(std::min<std::int64_t>(done, total) * 100 / total) + "%  ";
    tail += Elapsed(std::chrono::steady_clock::now() - start_);
    // One column spare: a line that fills the terminal would wrap.
    const std::size_t columns = static_cast<std::size_t>(platform::TerminalColumns(terminal_));
    const std::size_t room = columns > tail.size() + 1 ? columns - tail.size() - 1 : 0;
    const std::string line = "\r" + task_.substr(0, BytesWithin(task_, room)) + tail + "\x1b[K";
    std::fwrite(line.data(), 1, line.size(), terminal_);
    std::fflush(terminal_);
    shown_ = true;
  } while (!wake_.wait_for(lock, kRedraw, [this] { return stopping_; }));
}

}  // namespace vostrel::cli
