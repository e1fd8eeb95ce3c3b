#pragma once
// vostrel-lsp's conversation with the editor: messages in, answers and
// published diagnostics out, runs debounced after changes.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "langserver/engine.h"

namespace vostrel::lsp {

class Server {
 public:
  Server(langserver::EngineSettings settings, std::FILE* in, std::FILE* out);
  // Serves until the editor says exit (or closes the stream); returns the
  // exit status: 0 after a shutdown request, 1 otherwise.
  int Serve();

  // How long a change waits for the next before its run.
  static constexpr std::chrono::milliseconds kDebounce{30};

 private:
  using Clock = std::chrono::steady_clock;
  struct Incoming {
    std::optional<langserver::Json> message;  // empty: not JSON
    bool end = false;                         // the stream ended
  };

  void ReadLoop();
  void Handle(const langserver::Json& message);
  langserver::Json Answer(const std::string& method, const langserver::Json& params);
  void Notification(const std::string& method, const langserver::Json& params);
  void RunDue();
  void RunNow(const std::string& uri);
  void Send(const langserver::Json& message);
  void Reply(const langserver::Json& id, langserver::Json result);
  void ReplyError(const langserver::Json& id, int code, const std::string& message);
  void ApplySettings(const langserver::Json& settings);

  langserver::EngineSettings settings_;
  std::optional<langserver::Engine> engine_;
  std::FILE* in_;
  std::FILE* out_;

  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Incoming> queue_;
  std::string runningUri_;             // under mutex_
  std::atomic<bool> cancelRun_{false};  // set by the reader when the running document changes

  std::map<std::string, Clock::time_point> due_;  // runs waiting, by uri
  bool shutdown_ = false;
};

}  // namespace vostrel::lsp
