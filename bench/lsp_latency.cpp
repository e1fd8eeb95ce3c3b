// Latency of vostrel-lsp's diagnostics: the time from a one-character
// change of an open source to the diagnostics published for it, against the
// yardstick of vostrelc --check on the same file in the same run.
// Usage: lsp_latency VOSTREL_LSP VOSTRELC SOURCE [CHANGES] [-- SERVER ARGS]

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Child {
  pid_t pid = -1;
  FILE* in = nullptr;   // to the child
  FILE* out = nullptr;  // from the child
};

Child Start(const std::vector<std::string>& argv) {
  int toChild[2], fromChild[2];
  if (pipe(toChild) != 0 || pipe(fromChild) != 0) std::exit(2);
  Child child;
  child.pid = fork();
  if (child.pid == 0) {
    dup2(toChild[0], 0);
    dup2(fromChild[1], 1);
    close(toChild[1]);
    close(fromChild[0]);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  child.in = fdopen(toChild[1], "w");
  child.out = fdopen(fromChild[0], "r");
  return child;
}

void Send(FILE* in, const Json& message) {
  const std::string body = message.dump();
  std::fprintf(in, "Content-Length: %zu\r\n\r\n%s", body.size(), body.c_str());
  std::fflush(in);
}

Json Receive(FILE* out) {
  std::size_t length = 0;
  char line[256];
  while (std::fgets(line, sizeof line, out) && std::string(line) != "\r\n")
    if (std::strncmp(line, "Content-Length:", 15) == 0) length = std::strtoull(line + 15, nullptr, 10);
  std::string body(length, '\0');
  if (std::fread(body.data(), 1, length, out) != length) std::exit(3);
  return Json::parse(body);
}

// Waits for the diagnostics of `uri`; returns how many there are.
std::size_t AwaitDiagnostics(FILE* out, const std::string& uri) {
  for (;;) {
    const Json message = Receive(out);
    if (message.value("method", "") == "textDocument/publishDiagnostics" && message["params"]["uri"] == uri)
      return message["params"]["diagnostics"].size();
  }
}

// CPU time (user and system) the process has used so far, from /proc.
double CpuMilliseconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(all.substr(all.rfind(')') + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return 1000.0 * static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: lsp_latency VOSTREL_LSP VOSTRELC SOURCE [CHANGES] [-- SERVER ARGS]\n";
    return 2;
  }
  const std::filesystem::path source = std::filesystem::absolute(argv[3]);
  int changes = 20;
  int next = 4;
  if (argc > next && std::string(argv[next]) != "--") changes = std::atoi(argv[next++]);
  std::vector<std::string> serverArgs{argv[1]};
  if (argc > next && std::string(argv[next]) == "--")
    for (int i = next + 1; i < argc; ++i) serverArgs.push_back(argv[i]);

  std::ifstream file(source, std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  // The generated source is ASCII: its bytes are its UTF-8 text.
  const std::string text = bytes.str();
  const std::string uri = "file://" + source.string();
  const auto lines = static_cast<std::int64_t>(std::count(text.begin(), text.end(), '\n'));

  // The yardstick: vostrelc --check with the same options, in this run.
  std::vector<std::string> checkArgs{argv[2], "-q", "--check"};
  for (std::size_t i = 1; i < serverArgs.size(); ++i) checkArgs.push_back(serverArgs[i]);
  checkArgs.push_back(source.string());
  const auto checkStart = Clock::now();
  Child check = Start(checkArgs);
  fclose(check.in);
  int status = 0;
  waitpid(check.pid, &status, 0);
  const double checkMs = Milliseconds(Clock::now() - checkStart);

  Child server = Start(serverArgs);
  Send(server.in, {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"},
                   {"params", {{"rootUri", "file://" + source.parent_path().string()}, {"capabilities", Json::object()}}}});
  Receive(server.out);
  Send(server.in, {{"jsonrpc", "2.0"}, {"method", "initialized"}, {"params", Json::object()}});
  const auto openStart = Clock::now();
  Send(server.in, {{"jsonrpc", "2.0"}, {"method", "textDocument/didOpen"},
                   {"params", {{"textDocument", {{"uri", uri}, {"languageId", "vostrel-nc"}, {"version", 1}, {"text", text}}}}}});
  const std::size_t findings = AwaitDiagnostics(server.out, uri);
  const double openMs = Milliseconds(Clock::now() - openStart);

  std::vector<double> latencies;
  const double cpuBefore = CpuMilliseconds(server.pid);
  for (int i = 0; i < changes; ++i) {
    // A space typed in the middle of the program, or taken away again.
    const std::int64_t line = lines / 2;
    const Json range = {{"start", {{"line", line}, {"character", 0}}},
                        {"end", {{"line", line}, {"character", i % 2 ? 1 : 0}}}};
    const auto start = Clock::now();
    Send(server.in, {{"jsonrpc", "2.0"}, {"method", "textDocument/didChange"},
                     {"params", {{"textDocument", {{"uri", uri}, {"version", i + 2}}},
                                 {"contentChanges", Json::array({{{"range", range}, {"text", i % 2 ? "" : " "}}})}}}});
    AwaitDiagnostics(server.out, uri);
    latencies.push_back(Milliseconds(Clock::now() - start));
  }
  const double cpuPerChange = (CpuMilliseconds(server.pid) - cpuBefore) / changes;
  Send(server.in, {{"jsonrpc", "2.0"}, {"id", 2}, {"method", "shutdown"}});
  Receive(server.out);
  Send(server.in, {{"jsonrpc", "2.0"}, {"method", "exit"}});
  waitpid(server.pid, &status, 0);

  std::sort(latencies.begin(), latencies.end());
  const double median = latencies[latencies.size() / 2];
  std::printf("vostrel-lsp: %lld lines, %zu findings; open to diagnostics %.0f ms; change to diagnostics "
              "(%d changes, 30 ms debounce included): median %.0f ms, max %.0f ms\n",
              static_cast<long long>(lines), findings, openMs, changes, median, latencies.back());
  std::printf("yardstick vostrelc --check, same file: %.0f ms (process start and file read included); "
              "change latency / vostrelc = %.2f\n",
              checkMs, median / checkMs);
  std::printf("server CPU time per change: %.0f ms; load average: %.2f\n", cpuPerChange, [] {
    double load = 0;
    std::ifstream("/proc/loadavg") >> load;
    return load;
  }());
  return 0;
}
