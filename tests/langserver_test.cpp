// vostrel-lsp driven over pipes as an editor drives it: a workspace with
// an include file and Shift-JIS text, positions in UTF-16 code units.

#include <gtest/gtest.h>

#include <QProcess>

#include <filesystem>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "langserver/protocol_text.h"
#include "tests/test_support.h"

namespace vostrel::test {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

// The editor's side of the conversation.
class EditorClient {
 public:
  explicit EditorClient(const QStringList& args = {}) {
    process_.start(VOSTREL_LSP_PATH, args);
    process_.waitForStarted();
  }
  ~EditorClient() {
    process_.kill();
    process_.waitForFinished();
  }

  void SendRaw(const std::string& body) {
    const std::string message = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    process_.write(message.data(), static_cast<qint64>(message.size()));
    process_.waitForBytesWritten();
  }
  void Notify(const std::string& method, const Json& params) {
    SendRaw(Json{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}}.dump());
  }
  // Sends a request and returns its answer; diagnostics published on the
  // way are kept.
  Json Request(const std::string& method, const Json& params) {
    const int id = ++lastId_;
    SendRaw(Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}.dump());
    return Await([id](const Json& message) { return message.value("id", Json()) == id; });
  }
  // The next message `wanted` accepts (a null Json when none comes in time).
  template <class Wanted>
  Json Await(Wanted wanted) {
    for (;;) {
      const Json message = Next();
      if (message.is_null() || wanted(message)) return message;
    }
  }
  // Waits for the diagnostics of `uri` and returns them.
  Json AwaitDiagnostics(const std::string& uri) {
    const Json message = Await([&uri](const Json& m) {
      return m.value("method", "") == "textDocument/publishDiagnostics" && m["params"]["uri"] == uri;
    });
    return message.is_null() ? Json() : message["params"]["diagnostics"];
  }
  std::map<std::string, Json>& Diagnostics() { return diagnostics_; }
  QProcess& Process() { return process_; }

 private:
  Json Next() {
    for (;;) {
      const std::size_t headerEnd = buffer_.find("\r\n\r\n");
      if (headerEnd != std::string::npos) {
        const std::size_t length = std::stoul(buffer_.substr(buffer_.find(':') + 1, headerEnd));
        if (buffer_.size() >= headerEnd + 4 + length) {
          Json message = Json::parse(buffer_.substr(headerEnd + 4, length));
          buffer_.erase(0, headerEnd + 4 + length);
          if (message.value("method", "") == "textDocument/publishDiagnostics")
            diagnostics_[message["params"]["uri"]] = message["params"]["diagnostics"];
          return message;
        }
      }
      if (!process_.waitForReadyRead(30000)) return Json();
      buffer_ += process_.readAllStandardOutput().toStdString();
    }
  }

  QProcess process_;
  std::string buffer_;
  int lastId_ = 0;
  std::map<std::string, Json> diagnostics_;
};

Json Range(int line, int from, int to) {
  return {{"start", {{"line", line}, {"character", from}}}, {"end", {{"line", line}, {"character", to}}}};
}

// The workspace: a source with half-width katakana and kanji before the
// names (so that bytes, UTF-8 and UTF-16 columns all differ), an include
// file, and a settings file that the server finds in the workspace.
struct Workspace {
  TempDir dir;
  std::string sourceUri, includeUri;
  std::string sourceText;  // UTF-8, as the editor holds it

  Workspace() {
    sourceText =
        "O1234\r\n"
        "#INCFILE COMMON.DEF\r\n"
        "$DEPTH 2.0 ;深さ\r\n"
        "(ｶﾀｶﾅ) G01 X=PITCH Z-DEPTH\r\n"
        "#IF MC1\r\n"
        "G00 X#[a+1] QQQ\r\n"
        "#END\r\n"
        "(漢字) G01 X[PITCH+1 Y2.\r\n"
        "M30\r\n";
    WriteFile(dir / "prog.nc", Sjis(sourceText));
    WriteFile(dir / "COMMON.DEF", Sjis("; 共通定義\r\n$PITCH 1.5\r\n$TBL 500\r\n$a #100\r\n$DEPTH 2.0\r\n"));
    // The workspace's settings name the include directive otherwise.
    WriteFile(dir / "vostrel.INI", "[Options]\r\nDefName=#INCFILE\r\n");
    sourceUri = langserver::UriFromPath(langserver::NormalPath(dir / "prog.nc"));
    includeUri = langserver::UriFromPath(langserver::NormalPath(dir / "COMMON.DEF"));
  }

  void Open(EditorClient& client, const Json& initializationOptions = Json::object()) {
    const Json answer = client.Request(
        "initialize", {{"rootUri", langserver::UriFromPath(langserver::NormalPath(dir.path()))},
                       {"capabilities", Json::object()},
                       {"initializationOptions", initializationOptions}});
    ASSERT_TRUE(answer.contains("result")) << answer;
    client.Notify("initialized", Json::object());
    client.Notify("textDocument/didOpen", {{"textDocument", {{"uri", sourceUri}, {"languageId", "vostrel-nc"},
                                                             {"version", 1}, {"text", sourceText}}}});
    // A request answers from a run of the text as it stands: the
    // diagnostics of that run come before the answer.
    client.Request("textDocument/documentSymbol", {{"textDocument", {{"uri", sourceUri}}}});
  }
};

Json At(const std::string& uri, int line, int character) {
  return {{"textDocument", {{"uri", uri}}}, {"position", {{"line", line}, {"character", character}}}};
}

TEST(LanguageServer, GivesTheFindingsOfVostrelcCheckAtTheSamePlaces) {
  Workspace workspace;
  EditorClient client;
  workspace.Open(client, {{"ifWords", {"MC1"}}});

  QProcess vostrelc;
  vostrelc.setWorkingDirectory(QString::fromStdString(workspace.dir.path().string()));
  vostrelc.start(VOSTRELC_PATH, {"--check", "-q", "--diagnostics", "json", "-a", "MC1", "--ini",
                                 QString::fromStdString((workspace.dir / "vostrel.INI").string()), "prog.nc"});
  ASSERT_TRUE(vostrelc.waitForFinished(60000));
  std::map<std::string, int> expectedCount;
  for (const QByteArray& line : vostrelc.readAllStandardError().split('\n')) {
    if (line.isEmpty()) continue;
    const Json finding = Json::parse(line.toStdString());
    const std::string uri =
        langserver::UriFromPath(langserver::NormalPath(workspace.dir / finding["file"].get<std::string>()));
    ++expectedCount[uri];
    const int row = finding["line"].is_null() ? 0 : finding["line"].get<int>() - 1;
    const int column = finding["column"].is_null() ? 0 : finding["column"].get<int>() - 1;
    const Json& published = client.Diagnostics()[uri];
    const bool found = std::any_of(published.begin(), published.end(), [&](const Json& diagnostic) {
      return diagnostic["range"]["start"] == Json{{"line", row}, {"character", column}} &&
             diagnostic["message"] == finding["message"];
    });
    EXPECT_TRUE(found) << finding << " not among " << published;
  }
  // An unknown word in the #IF block, the bracket, the duplicate definition.
  EXPECT_GE(expectedCount[workspace.sourceUri], 2);
  EXPECT_GE(expectedCount[workspace.includeUri], 1);
  for (const auto& [uri, count] : expectedCount)
    EXPECT_EQ(client.Diagnostics()[uri].size(), static_cast<std::size_t>(count)) << uri;
}

TEST(LanguageServer, AnswersEveryRequestInUtf16Units) {
  Workspace workspace;
  EditorClient client;
  workspace.Open(client, {{"ifWords", {"MC1"}}});
  // "😀漢" typed before PITCH on line 3: its places move three units right
  // (the emoji takes two).
  client.Notify("textDocument/didChange",
                {{"textDocument", {{"uri", workspace.sourceUri}, {"version", 2}}},
                 {"contentChanges", {{{"range", Range(3, 13, 13)}, {"text", "😀漢"}}}}});
  client.Notify("textDocument/didOpen",
                {{"textDocument", {{"uri", workspace.includeUri}, {"languageId", "vostrel-nc"}, {"version", 1},
                                   {"text", "; 共通定義\r\n$PITCH 1.5\r\n$TBL 500\r\n$a #100\r\n$DEPTH 2.0\r\n"}}}});
  const std::string& source = workspace.sourceUri;
  const std::string& include = workspace.includeUri;
  const Json pitchReferences = {{{"uri", source}, {"range", Range(3, 16, 21)}},
                                {{"uri", source}, {"range", Range(7, 11, 16)}},
                                {{"uri", include}, {"range", Range(1, 1, 6)}}};
  struct Case {
    const char* what;
    std::string method;
    Json params;
    Json expected;  // the whole result, or null to check `contains` only
    std::vector<std::string> contains;  // texts the answer holds
  };
  const std::vector<Case> cases = {
      {"definition of a name after kanji, in the include file", "textDocument/definition", At(source, 7, 13),
       {{{"uri", include}, {"range", Range(1, 1, 6)}}}, {}},
      {"definition of a name moved by the change", "textDocument/definition", At(source, 3, 18),
       {{{"uri", include}, {"range", Range(1, 1, 6)}}}, {}},
      {"definition of a name of the source", "textDocument/definition", At(source, 3, 24),
       {{{"uri", source}, {"range", Range(2, 1, 6)}}, {{"uri", include}, {"range", Range(4, 1, 6)}}}, {}},
      {"definition of an include path", "textDocument/definition", At(source, 1, 12),
       {{"uri", include}, {"range", Range(0, 0, 0)}}, {}},
      {"no name, no definition", "textDocument/definition", At(source, 0, 2), nullptr, {}},
      {"hover: value, place, line after replacement", "textDocument/hover", At(source, 7, 12), nullptr,
       {"**PITCH** = `1.5`", "COMMON.DEF:2", "`(漢字) G01 X[1.5+1 Y2.`",
        "\"range\":{\"end\":{\"character\":16,\"line\":7},\"start\":{\"character\":11,\"line\":7}}"}},
      {"hover of a one-byte name", "textDocument/hover", At(source, 5, 7), nullptr,
       {"**a** = `#100`", "G00 X#[$#100$+1] QQQ"}},
      {"references across the file and the include file", "textDocument/references",
       At(source, 7, 11), pitchReferences, {}},
      {"references from the include file", "textDocument/references", At(include, 1, 3), pitchReferences, {}},
      {"references of a one-byte name between delimiters", "textDocument/references", At(source, 5, 7),
       {{{"uri", source}, {"range", Range(5, 7, 8)}}, {{"uri", include}, {"range", Range(3, 1, 2)}}}, {}},
      {"completion: names, word list, #IF words", "textDocument/completion", At(source, 8, 0), nullptr,
       {"\"label\":\"PITCH\"", "\"label\":\"GOTO\"", "\"label\":\"MC1\""}},
      {"document symbols: definitions, #IF blocks, O-numbers", "textDocument/documentSymbol",
       {{"textDocument", {{"uri", source}}}}, nullptr,
       {"\"name\":\"O1234\"", "\"name\":\"DEPTH\"", "\"name\":\"#IF MC1\",\"range\":{\"end\":{\"character\":4,\"line\":6}"}},
  };
  for (const Case& c : cases) {
    Json params = c.params;
    if (c.method == "textDocument/references") params["context"] = {{"includeDeclaration", true}};
    const Json answer = client.Request(c.method, params);
    ASSERT_TRUE(answer.contains("result")) << c.what << ": " << answer;
    if (c.contains.empty()) {
      EXPECT_EQ(answer["result"], c.expected) << c.what;
    }
    for (const std::string& text : c.contains)
      EXPECT_NE(answer["result"].dump().find(text), std::string::npos) << c.what << ": " << text << " in "
                                                                       << answer["result"];
  }

  // The include file as the editor holds it, unsaved, is what the run reads.
  client.Notify("textDocument/didChange", {{"textDocument", {{"uri", include}, {"version", 2}}},
                                           {"contentChanges", {{{"range", Range(1, 7, 10)}, {"text", "2.5"}}}}});
  const Json hover = client.Request("textDocument/hover", At(source, 7, 12));
  EXPECT_NE(hover["result"].dump().find("X[2.5+1"), std::string::npos) << hover;

  // Rename: every place at once, or a refusal that says why.
  Json rename = At(source, 7, 12);
  rename["newName"] = "FEED";
  const Json renamed = client.Request("textDocument/rename", rename);
  ASSERT_TRUE(renamed.contains("result")) << renamed;
  EXPECT_EQ(renamed["result"]["changes"][source],
            Json({{{"range", Range(3, 16, 21)}, {"newText", "FEED"}}, {{"range", Range(7, 11, 16)}, {"newText", "FEED"}}}));
  EXPECT_EQ(renamed["result"]["changes"][include], Json({{{"range", Range(1, 1, 6)}, {"newText", "FEED"}}}));
  const struct {
    std::string newName;
    std::string because;
  } refusals[] = {{"TBL", "defined already"}, {"PT", "DEPTH"}, {"G01", "already"}, {"B", "one-byte"}};
  // A one-byte name meets text between delimiters ("X" in "G00 X#").
  Json renameOneByte = At(source, 5, 7);
  renameOneByte["newName"] = "X";
  EXPECT_NE(client.Request("textDocument/rename", renameOneByte).dump().find("already"), std::string::npos);
  renameOneByte["newName"] = "q";
  EXPECT_EQ(client.Request("textDocument/rename", renameOneByte)["result"]["changes"][source],
            Json({{{"range", Range(5, 7, 8)}, {"newText", "q"}}}));
  for (const auto& refusal : refusals) {
    rename["newName"] = refusal.newName;
    const Json refused = client.Request("textDocument/rename", rename);
    ASSERT_TRUE(refused.contains("error")) << refusal.newName << ": " << refused;
    EXPECT_NE(refused["error"]["message"].get<std::string>().find(refusal.because), std::string::npos) << refused;
  }
  // The server never writes a file.
  EXPECT_EQ(ReadFile(workspace.dir / "COMMON.DEF"), Sjis("; 共通定義\r\n$PITCH 1.5\r\n$TBL 500\r\n$a #100\r\n$DEPTH 2.0\r\n"));

  EXPECT_EQ(client.Request("shutdown", nullptr)["result"], Json());
  client.Notify("exit", nullptr);
  ASSERT_TRUE(client.Process().waitForFinished(10000));
  EXPECT_EQ(client.Process().exitCode(), 0);
}

TEST(LanguageServer, AnswersAMalformedMessageWithAnErrorAndGoesOn) {
  Workspace workspace;
  EditorClient client;
  workspace.Open(client);
  client.SendRaw("{\"jsonrpc\":\"2.0\",\"id\":");
  const Json parseError = client.Await([](const Json& m) { return m.contains("error"); });
  EXPECT_EQ(parseError["error"]["code"], -32700) << parseError;
  const Json badParams = client.Request("textDocument/hover", {{"textDocument", {{"uri", workspace.sourceUri}}}});
  EXPECT_EQ(badParams["error"]["code"], -32602) << badParams;
  const Json answer = client.Request("textDocument/definition", At(workspace.sourceUri, 1, 12));
  EXPECT_EQ(answer["result"]["uri"], workspace.includeUri) << answer;
}

TEST(LanguageServer, ReportsAnIncludeFileThatVanishes) {
  Workspace workspace;
  EditorClient client;
  workspace.Open(client);
  EXPECT_EQ(client.Diagnostics()[workspace.includeUri].size(), 1u);
  fs::remove(workspace.dir / "COMMON.DEF");
  client.Notify("textDocument/didSave", {{"textDocument", {{"uri", workspace.sourceUri}}}});
  EXPECT_EQ(client.Request("textDocument/definition", At(workspace.sourceUri, 1, 12))["result"], Json());
  const Json& diagnostics = client.Diagnostics()[workspace.sourceUri];
  ASSERT_EQ(diagnostics.size(), 1u) << diagnostics;
  EXPECT_EQ(diagnostics[0]["range"], Range(1, 9, 19));
  EXPECT_NE(diagnostics[0]["message"].get<std::string>().find("が見つかりません"), std::string::npos);
  EXPECT_EQ(client.Diagnostics()[workspace.includeUri], Json::array());
  EXPECT_EQ(client.Request("textDocument/hover", At(workspace.sourceUri, 3, 14))["result"], Json());
}

TEST(LanguageServer, PlacesFindingsOfLinesThatEndAtALoneCarriageReturn) {
  // The run reads one line where the editor shows three.
  Workspace workspace;
  workspace.sourceText = "O1\rG01 X[1\rM30\r";
  EditorClient client;
  workspace.Open(client);
  const Json& diagnostics = client.Diagnostics()[workspace.sourceUri];
  const bool bracketAtItsPlace = std::any_of(diagnostics.begin(), diagnostics.end(), [](const Json& diagnostic) {
    return diagnostic["range"] == Range(1, 5, 6) && diagnostic["code"] == "括弧ﾁｪｯｸ";
  });
  EXPECT_TRUE(bracketAtItsPlace) << diagnostics;
}

}  // namespace
}  // namespace vostrel::test
