#pragma once
// The language engine behind vostrel-lsp: the editor's open documents, a
// compile run of each open source (the run vostrelc --check makes) and what
// it found out, and the answers to the editor's requests. Requests and
// answers are the protocol's JSON objects; positions in them are in UTF-16
// code units. The engine never writes a file.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "pipeline/compile_run.h"
#include "pipeline/run_options.h"

namespace vostrel::langserver {

using Json = nlohmann::json;

// How the engine runs: from the server's command line and the editor.
struct EngineSettings {
  std::optional<std::filesystem::path> ini;       // --ini: the settings file to use
  std::optional<std::filesystem::path> wordList;  // --word-list
  std::optional<std::filesystem::path> exeDir;    // --exe-dir
  std::filesystem::path workspaceRoot;            // the editor's folder (empty: none)
};

// A refusal of a request, with the message the editor shows.
struct RequestRefused {
  std::string message;
};

// One open document: the editor's text as Shift-JIS (one character per
// UTF-16 code unit, see protocol_text.h).
struct Document {
  std::string uri;
  std::filesystem::path path;
  std::string text;
  std::vector<std::size_t> lineStarts;
  // Where the run's lines start, when they differ from the editor's (a
  // lone CR ends a line for the editor only); empty otherwise.
  std::vector<std::size_t> runLineStarts;
  std::int64_t version = 0;

  // Sets the text and where its lines start.
  void SetText(std::string sjisText);

  std::string_view Line(std::size_t line) const;
  std::size_t LineCount() const { return lineStarts.size(); }
};

// The diagnostics of one file, to publish.
struct Publication {
  std::string uri;
  Json diagnostics;  // an array
};

class Engine {
 public:
  explicit Engine(EngineSettings settings);

  // Reads the run options: the settings file given, else vostrel.INI in the
  // workspace folder, else the desktop program's. Returns the file read
  // (empty when none).
  std::filesystem::path LoadRunOptions();
  // The #IF words from the editor's settings (UTF-8), up to ten.
  void SetIfWords(const std::vector<std::string>& words);

  void Open(const std::string& uri, std::string_view utf8Text, std::int64_t version);
  // Applies a didChange's contentChanges (whole texts or ranges).
  void Change(const std::string& uri, const Json& contentChanges, std::int64_t version);
  // The document was saved: files read from disk may have changed too.
  void Saved(const std::string& uri);
  // Closes the document; returns the diagnostics to publish again (the
  // files its runs had findings in).
  std::vector<Publication> Close(const std::string& uri);
  const Document* Find(const std::string& uri) const;
  std::vector<std::string> OpenUris() const;

  // Runs the check of the source `uri` (for an include file: of every open
  // source that reads it) and returns the diagnostics of every file whose
  // findings may have changed. `cancel`, when set during the run, ends it
  // early; nothing is published then.
  std::vector<Publication> Diagnose(const std::string& uri, const std::atomic<bool>* cancel = nullptr);
  // Whether the document changed since its last run.
  bool NeedsRun(const std::string& uri) const;

  Json Definition(const Json& params);
  Json Hover(const Json& params);
  Json References(const Json& params);
  Json Rename(const Json& params);  // throws RequestRefused
  Json Completion(const Json& params);
  Json DocumentSymbols(const Json& params);

 private:
  // What the last run of an open source found out.
  struct Analysis {
    std::vector<vostrel::Definition> definitions;
    std::vector<std::filesystem::path> includesAsRead;  // as the run named them
    std::vector<std::filesystem::path> includes;        // in normal form
    std::map<std::filesystem::path, std::vector<Finding>> findings;  // by normal path
    std::vector<std::string> words;                                  // the word list
    bool current = false;
  };
  // A place of a name in a file.
  struct Place {
    std::filesystem::path path;
    std::int64_t line = 0;  // 0-based
    std::int64_t character = 0;
    std::int64_t length = 0;  // in characters
  };
  struct NameAt {
    std::string name;  // Shift-JIS
    std::int64_t character = 0;  // where it starts on the cursor's line
    const Analysis* analysis = nullptr;
    const Document* document = nullptr;
  };

  void RunSource(Document& source, const std::atomic<bool>* cancel, std::vector<std::filesystem::path>& touched);
  std::vector<Publication> Publish(const std::vector<std::filesystem::path>& files);
  // The open sources whose runs read the file at `path`.
  std::vector<std::string> SourcesReading(const std::filesystem::path& path) const;
  // The analysis that speaks for the document: its own, or that of a
  // source that reads it; runs it first when it is not current.
  const Analysis* AnalysisFor(const std::string& uri);
  const Document& DocumentOf(const Json& params) const;
  NameAt NameAtPosition(const Json& params);
  // The address of a file: the editor's own for an open document.
  std::string UriOf(const std::filesystem::path& path) const;
  // The lines of a file: the open document's, else the file's (empty when
  // it cannot be read).
  std::vector<std::string> LinesOf(const std::filesystem::path& path) const;
  std::vector<Place> Occurrences(const std::string& name, const Analysis& analysis,
                                 const std::filesystem::path& sourcePath) const;
  std::optional<std::filesystem::path> IncludeTarget(std::string_view line) const;
  std::string LineAfterReplacement(std::string_view line, std::int32_t lineNumber, const Analysis& analysis) const;
  // `ofRunSource`: the file is the source of the run that found it.
  Json RangeOfFinding(const Finding& finding, const std::filesystem::path& path, bool ofRunSource) const;
  // The editor's place of 1-based line and column of a run's source.
  Place ProtocolPlace(const Document& source, std::int32_t line, std::int32_t column) const;
  void PrepareRun(CompileRun& run) const;

  EngineSettings settings_;
  RunOptions options_;
  std::vector<std::string> ifWords_;  // cp932
  std::map<std::string, Document> documents_;  // by uri
  std::map<std::string, Analysis> analyses_;   // by uri of the source
};

}  // namespace vostrel::langserver
