#include "lsp/server.h"

#include <filesystem>
#include <thread>

#include "langserver/protocol_text.h"
#include "lsp/message_stream.h"
#include "text/path_text.h"
#include "version.h"

namespace vostrel::lsp {

using langserver::Json;

namespace {

// Error codes of the protocol.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kServerNotInitialized = -32002;
constexpr int kRequestFailed = -32803;

struct UnknownMethod {};

Json Capabilities() {
  return {{"textDocumentSync", {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}}},
          {"definitionProvider", true},
          {"hoverProvider", true},
          {"referencesProvider", true},
          {"renameProvider", true},
          {"completionProvider", {{"triggerCharacters", Json::array({"$", "@", "#"})}}},
          {"documentSymbolProvider", true}};
}

}  // namespace

Server::Server(langserver::EngineSettings settings, std::FILE* in, std::FILE* out)
    : settings_(std::move(settings)), in_(in), out_(out) {}

void Server::ReadLoop() {
  for (;;) {
    std::optional<std::string> body = ReadMessage(in_);
    Incoming incoming;
    if (!body) {
      incoming.end = true;
    } else {
      Json message = Json::parse(*body, nullptr, false);
      if (!message.is_discarded()) incoming.message = std::move(message);
    }
    {
      std::lock_guard lock(mutex_);
      // A change of the document being run makes that run out of date.
      if (incoming.message && incoming.message->is_object() &&
          incoming.message->value("method", "") == "textDocument/didChange" && !runningUri_.empty()) {
        const Json* params = incoming.message->contains("params") ? &incoming.message->at("params") : nullptr;
        if (params && params->is_object() && params->contains("textDocument") &&
            params->at("textDocument").value("uri", "") == runningUri_)
          cancelRun_.store(true);
      }
      queue_.push_back(std::move(incoming));
    }
    arrived_.notify_one();
    if (!body) return;
  }
}

int Server::Serve() {
  std::thread reader(&Server::ReadLoop, this);
  reader.detach();  // it may be blocked in a read when the editor says exit
  for (;;) {
    Incoming incoming;
    {
      std::unique_lock lock(mutex_);
      auto ready = [this] { return !queue_.empty(); };
      if (due_.empty()) {
        arrived_.wait(lock, ready);
      } else {
        Clock::time_point first = Clock::time_point::max();
        for (const auto& [uri, when] : due_) first = std::min(first, when);
        arrived_.wait_until(lock, first, ready);
      }
      if (!queue_.empty()) {
        incoming = std::move(queue_.front());
        queue_.pop_front();
      } else {
        lock.unlock();
        RunDue();
        continue;
      }
    }
    if (incoming.end) return shutdown_ ? 0 : 1;
    if (!incoming.message) {
      ReplyError(nullptr, kParseError, "the message is not JSON");
      continue;
    }
    const Json& message = *incoming.message;
    if (message.is_object() && message.value("method", "") == "exit") return shutdown_ ? 0 : 1;
    Handle(message);
  }
}

void Server::Handle(const Json& message) {
  if (!message.is_object() || !message.contains("method") || !message.at("method").is_string()) {
    // An answer to a request of ours (none is made) or no message at all.
    if (!message.is_object() || !message.contains("result"))
      ReplyError(message.is_object() && message.contains("id") ? message.at("id") : Json(nullptr), kInvalidRequest,
                 "the message is no request or notification");
    return;
  }
  const std::string method = message.at("method").get<std::string>();
  const Json params = message.value("params", Json::object());
  const bool request = message.contains("id");
  try {
    if (!request) {
      Notification(method, params);
      return;
    }
    const Json& id = message.at("id");
    if (!engine_ && method != "initialize") {
      ReplyError(id, kServerNotInitialized, "the server is not initialized");
      return;
    }
    Reply(id, Answer(method, params));
  } catch (const langserver::RequestRefused& refused) {
    if (request) ReplyError(message.at("id"), kRequestFailed, refused.message);
  } catch (const UnknownMethod&) {
    if (request) ReplyError(message.at("id"), kMethodNotFound, "unknown method " + method);
  } catch (const Json::exception& malformed) {
    if (request) ReplyError(message.at("id"), kInvalidParams, std::string("malformed parameters: ") + malformed.what());
  } catch (const std::exception& failure) {
    // The server goes on with the next message whatever one request met.
    if (request) ReplyError(message.at("id"), kInternalError, failure.what());
  }
}

Json Server::Answer(const std::string& method, const Json& params) {
  if (method == "initialize") {
    std::string root;
    if (params.contains("rootUri") && params.at("rootUri").is_string()) root = params.at("rootUri").get<std::string>();
    else if (params.contains("workspaceFolders") && params.at("workspaceFolders").is_array() &&
             !params.at("workspaceFolders").empty())
      root = params.at("workspaceFolders").at(0).at("uri").get<std::string>();
    if (!root.empty()) {
      settings_.workspaceRoot = langserver::PathFromUri(root);
      // Relative include paths are read from the workspace folder, as
      // vostrelc reads them from the folder it is started in.
      std::error_code ec;
      std::filesystem::current_path(settings_.workspaceRoot, ec);
    }
    engine_.emplace(settings_);
    engine_->LoadRunOptions();
    if (params.contains("initializationOptions")) ApplySettings(params.at("initializationOptions"));
    return {{"capabilities", Capabilities()}, {"serverInfo", {{"name", "vostrel-lsp"}, {"version", VOSTREL_VERSION}}}};
  }
  if (method == "shutdown") {
    shutdown_ = true;
    return nullptr;
  }
  // A request about a document answers from a run of its present text.
  if (params.contains("textDocument")) {
    const std::string uri = params.at("textDocument").at("uri").get<std::string>();
    if (engine_->NeedsRun(uri)) RunNow(uri);
  }
  if (method == "textDocument/definition") return engine_->Definition(params);
  if (method == "textDocument/hover") return engine_->Hover(params);
  if (method == "textDocument/references") return engine_->References(params);
  if (method == "textDocument/rename") return engine_->Rename(params);
  if (method == "textDocument/completion") return engine_->Completion(params);
  if (method == "textDocument/documentSymbol") return engine_->DocumentSymbols(params);
  throw UnknownMethod{};
}

void Server::Notification(const std::string& method, const Json& params) {
  if (!engine_) return;
  const auto uriOf = [&params] { return params.at("textDocument").at("uri").get<std::string>(); };
  if (method == "textDocument/didOpen") {
    const Json& document = params.at("textDocument");
    engine_->Open(uriOf(), document.at("text").get<std::string>(), document.value("version", 0));
    due_[uriOf()] = Clock::now();
  } else if (method == "textDocument/didChange") {
    engine_->Change(uriOf(), params.at("contentChanges"), params.at("textDocument").value("version", 0));
    due_[uriOf()] = Clock::now() + kDebounce;
  } else if (method == "textDocument/didSave") {
    engine_->Saved(uriOf());
    due_[uriOf()] = Clock::now();
  } else if (method == "textDocument/didClose") {
    due_.erase(uriOf());
    for (const langserver::Publication& publication : engine_->Close(uriOf()))
      Send({{"jsonrpc", "2.0"}, {"method", "textDocument/publishDiagnostics"},
            {"params", {{"uri", publication.uri}, {"diagnostics", publication.diagnostics}}}});
  } else if (method == "workspace/didChangeConfiguration") {
    ApplySettings(params.value("settings", Json::object()));
  }
}

void Server::ApplySettings(const Json& settings) {
  // {"vostrel": {"ifWords": [...]}} or {"ifWords": [...]}
  const Json& section = settings.contains("vostrel") ? settings.at("vostrel") : settings;
  if (!section.is_object() || !section.contains("ifWords")) return;
  std::vector<std::string> words;
  for (const Json& word : section.at("ifWords"))
    if (word.is_string()) words.push_back(word.get<std::string>());
  engine_->SetIfWords(words);
  for (const std::string& uri : engine_->OpenUris()) due_[uri] = Clock::now();
}

void Server::RunDue() {
  const Clock::time_point now = Clock::now();
  std::vector<std::string> uris;
  for (const auto& [uri, when] : due_)
    if (when <= now) uris.push_back(uri);
  for (const std::string& uri : uris) RunNow(uri);
}

void Server::RunNow(const std::string& uri) {
  due_.erase(uri);
  if (!engine_->Find(uri)) return;
  {
    std::lock_guard lock(mutex_);
    runningUri_ = uri;
    cancelRun_.store(false);
  }
  std::vector<langserver::Publication> publications = engine_->Diagnose(uri, &cancelRun_);
  {
    std::lock_guard lock(mutex_);
    runningUri_.clear();
  }
  for (const langserver::Publication& publication : publications)
    Send({{"jsonrpc", "2.0"}, {"method", "textDocument/publishDiagnostics"},
          {"params", {{"uri", publication.uri}, {"diagnostics", publication.diagnostics}}}});
}

void Server::Send(const Json& message) {
  WriteMessage(out_, message.dump(-1, ' ', false, Json::error_handler_t::replace));
}

void Server::Reply(const Json& id, Json result) {
  Send({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
}

void Server::ReplyError(const Json& id, int code, const std::string& message) {
  Send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

}  // namespace vostrel::lsp
