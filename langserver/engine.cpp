#include "langserver/engine.h"

#include <algorithm>
#include <set>

#include "langserver/protocol_text.h"
#include "pipeline/compile.h"
#include "pipeline/definition_parse.h"
#include "pipeline/headless_frame.h"
#include "pipeline/include_files.h"
#include "pipeline/stage_table.h"
#include "pipeline/stages/stages.h"
#include "platform/exe_path.h"
#include "settings/app_settings.h"
#include "settings/data_folder.h"
#include "settings/ini_file.h"
#include "text/path_text.h"
#include "text/sjis.h"

namespace vostrel::langserver {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxIfWords = 10;
// The bytes a one-byte name stands between to be replaced.
constexpr std::string_view kNameDelimiters = ".0123456789#-+/*[]= \t()";

bool IsDelimiter(char c) { return kNameDelimiters.find(c) != std::string_view::npos; }

// Diagnostic severities of the protocol.
int SeverityNumber(Severity severity) {
  switch (severity) {
    case Severity::Error: return 1;
    case Severity::Warning: return 2;
    case Severity::Note: return 3;
  }
  return 1;
}

Json Position(std::int64_t line, std::int64_t character) { return {{"line", line}, {"character", character}}; }

Json Range(std::int64_t line, std::int64_t character, std::int64_t endCharacter) {
  return {{"start", Position(line, character)}, {"end", Position(line, endCharacter)}};
}

std::int64_t CharacterCount(std::string_view sjisText) { return CharacterOfByte(sjisText, sjisText.size()); }

// The part of a line before its ";" comment, tabs as spaces (as the run
// reads it when it looks for names).
std::string CodeOfLine(std::string_view line) {
  std::string code = StripComment(line);
  if (code == " " && !line.empty() && line[0] == ';') code.clear();
  std::replace(code.begin(), code.end(), '\t', ' ');
  return code;
}

// Whether `name` stands at byte `at` of `line` as the run replaces it: a
// name of two or more bytes anywhere on a whole character, a one-byte name
// between delimiters or after "@".
bool StandsAsName(std::string_view line, std::size_t at, std::string_view name) {
  if (sjis::IsSecondByte(line, at)) return false;
  if (name.size() > 1) return true;
  if (sjis::CharLength(line, at) != 1) return false;
  if (at > 0 && line[at - 1] == '@') return true;
  const bool before = at == 0 || (IsDelimiter(line[at - 1]) && !sjis::IsSecondByte(line, at - 1));
  const bool after = at + 1 == line.size() || IsDelimiter(line[at + 1]);
  return line.size() > 1 && before && after;
}

std::string ValueShown(const vostrel::Definition& definition) {
  const std::string& value = definition.Value;
  if (definition.Name.size() == 1 && value.size() >= 2 && value.front() == '$' && value.back() == '$')
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

std::string_view Document::Line(std::size_t line) const { return LineOf(text, lineStarts, line); }

void Document::SetText(std::string sjisText) {
  text = std::move(sjisText);
  lineStarts = LineStarts(text);
  runLineStarts.clear();
  bool loneCr = false;
  for (std::size_t cr = text.find('\r'); cr != std::string::npos && !loneCr; cr = text.find('\r', cr + 1))
    loneCr = cr + 1 == text.size() || text[cr + 1] != '\n';
  if (!loneCr) return;
  runLineStarts.push_back(0);
  for (std::size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', lf + 1))
    runLineStarts.push_back(lf + 1);
}

Engine::Engine(EngineSettings settings) : settings_(std::move(settings)) {}

fs::path Engine::LoadRunOptions() {
  const fs::path exeDir = settings_.exeDir ? *settings_.exeDir : platform::ExecutableDir();
  fs::path path;
  std::error_code ec;
  if (settings_.ini) {
    path = *settings_.ini;
  } else if (!settings_.workspaceRoot.empty() && fs::is_regular_file(settings_.workspaceRoot / "vostrel.INI", ec)) {
    path = settings_.workspaceRoot / "vostrel.INI";
  } else {
    path = settings::SettingsFilePath(exeDir / "vostrel");
  }
  settings::IniFile file;
  std::string error;
  if (!fs::is_regular_file(path, ec) || !file.Load(path, &error)) path.clear();
  options_ = settings::ReadAppSettings(file).Run;
  return path;
}

void Engine::SetIfWords(const std::vector<std::string>& words) {
  ifWords_.clear();
  for (const std::string& word : words) {
    if (static_cast<int>(ifWords_.size()) == kMaxIfWords) break;
    if (auto bytes = sjis::FromUtf8(word)) ifWords_.push_back(*bytes);
  }
  for (auto& [uri, analysis] : analyses_) analysis.current = false;
}

void Engine::Open(const std::string& uri, std::string_view utf8Text, std::int64_t version) {
  Document& document = documents_[uri];
  document.uri = uri;
  document.path = PathFromUri(uri);
  document.SetText(ProtocolToSjis(utf8Text));
  document.version = version;
  analyses_[uri].current = false;
}

void Engine::Change(const std::string& uri, const Json& contentChanges, std::int64_t version) {
  const auto found = documents_.find(uri);
  if (found == documents_.end()) return;
  Document& document = found->second;
  for (const Json& change : contentChanges) {
    const std::string replacement = ProtocolToSjis(change.at("text").get<std::string>());
    if (!change.contains("range")) {
      document.SetText(replacement);
      continue;
    } else {
      const Json& range = change.at("range");
      auto offset = [&document](const Json& position) {
        const auto line = position.at("line").get<std::size_t>();
        if (line >= document.LineCount()) return document.text.size();
        return document.lineStarts[line] +
               ByteOfCharacter(document.Line(line), position.at("character").get<std::int64_t>());
      };
      const std::size_t start = offset(range.at("start"));
      const std::size_t end = std::max(start, offset(range.at("end")));
      std::string text = std::move(document.text);
      text.replace(start, end - start, replacement);
      document.SetText(std::move(text));
    }
  }
  document.version = version;
  Saved(uri);
}

void Engine::Saved(const std::string& uri) {
  const Document* document = Find(uri);
  if (!document) return;
  const std::vector<std::string> readers = SourcesReading(document->path);
  for (const std::string& reader : readers) analyses_[reader].current = false;
  if (readers.empty()) analyses_[uri].current = false;
}

std::vector<Publication> Engine::Close(const std::string& uri) {
  // The sources that read it read the file from now on.
  Saved(uri);
  std::vector<fs::path> files;
  if (const auto analysis = analyses_.find(uri); analysis != analyses_.end()) {
    for (const auto& [path, findings] : analysis->second.findings) files.push_back(path);
    analyses_.erase(analysis);
  }
  if (const auto document = documents_.find(uri); document != documents_.end()) {
    files.push_back(document->second.path);
    documents_.erase(document);
  }
  return Publish(files);
}

const Document* Engine::Find(const std::string& uri) const {
  const auto found = documents_.find(uri);
  return found == documents_.end() ? nullptr : &found->second;
}

std::vector<std::string> Engine::OpenUris() const {
  std::vector<std::string> uris;
  for (const auto& [uri, document] : documents_) uris.push_back(uri);
  return uris;
}

bool Engine::NeedsRun(const std::string& uri) const {
  const Document* document = Find(uri);
  if (!document) return false;
  for (const std::string& reader : SourcesReading(document->path))
    if (!analyses_.at(reader).current) return true;
  const auto own = analyses_.find(uri);
  return own != analyses_.end() && !own->second.current && SourcesReading(document->path).empty();
}

std::vector<std::string> Engine::SourcesReading(const fs::path& path) const {
  std::vector<std::string> readers;
  for (const auto& [uri, analysis] : analyses_)
    if (std::find(analysis.includes.begin(), analysis.includes.end(), path) != analysis.includes.end())
      readers.push_back(uri);
  return readers;
}

void Engine::PrepareRun(CompileRun& run) const {
  for (std::size_t i = 0; i < ifWords_.size() && i < run.RunArguments.size(); ++i) run.RunArguments[i] = ifWords_[i];
  run.ExeDir = settings_.exeDir ? *settings_.exeDir : platform::ExecutableDir();
  run.IncludeHomeFolders = settings::IncludeHomeFolders(run.ExeDir);
  run.WordListPath = settings_.wordList ? *settings_.wordList : settings::WordListFilePath(run.ExeDir);
}

void Engine::RunSource(Document& source, const std::atomic<bool>* cancel, std::vector<fs::path>& touched) {
  Analysis& analysis = analyses_[source.uri];
  CompileRun run(options_);
  PrepareRun(run);
  run.SharedCancel = cancel;
  // Open include files are read as the editor holds them.
  IncludeFiles includes;
  for (const fs::path& asRead : analysis.includesAsRead)
    for (const auto& [uri, document] : documents_)
      if (document.path == NormalPath(asRead)) includes.Provide(asRead, document.text);
  run.SharedIncludes = &includes;

  Analysis fresh;
  std::map<std::string, fs::path> normalPaths;  // of the files findings name
  HeadlessFrame frame(run);
  frame.SetKeepLog(false);
  frame.SetWantsFindings(true);
  frame.SetAnswer(true);
  frame.SetFindingSink([&fresh, &normalPaths](const Finding& finding) {
    auto [normal, added] = normalPaths.try_emplace(finding.file);
    if (added) normal->second = NormalPath(PathFromUtf8(finding.file));
    fresh.findings[normal->second].push_back(finding);
  });
  frame.SetIncludeCheck([&fresh](const fs::path& include) {
    fresh.includesAsRead.push_back(include);
    fresh.includes.push_back(NormalPath(include));
    return std::string();
  });
  LoadSourceText(source.text, PathToUtf8(source.path), run, frame);
  if (RunStages(run, frame) == RunResult::Cancelled) return;
  fresh.definitions = std::move(run.DefinitionTable);
  fresh.definitions.resize(std::min<std::size_t>(fresh.definitions.size(), std::max(run.DefinitionCount, 0)));
  fresh.words.assign(run.CheckWordList.begin(), run.CheckWordList.end());
  fresh.current = true;
  for (const auto& [path, findings] : analysis.findings) touched.push_back(path);
  for (const auto& [path, findings] : fresh.findings) touched.push_back(path);
  touched.push_back(source.path);
  for (const fs::path& include : fresh.includes) touched.push_back(include);
  analysis = std::move(fresh);
}

std::vector<Publication> Engine::Diagnose(const std::string& uri, const std::atomic<bool>* cancel) {
  const auto found = documents_.find(uri);
  if (found == documents_.end()) return {};
  std::vector<std::string> sources = SourcesReading(found->second.path);
  if (sources.empty()) sources.push_back(uri);
  std::vector<fs::path> touched;
  for (const std::string& source : sources) {
    const auto document = documents_.find(source);
    if (document == documents_.end()) continue;
    RunSource(document->second, cancel, touched);
    if (cancel && cancel->load()) return {};
  }
  return Publish(touched);
}

std::vector<Publication> Engine::Publish(const std::vector<fs::path>& files) {
  std::vector<Publication> publications;
  std::set<fs::path> done;
  for (const fs::path& path : files) {
    if (!done.insert(path).second) continue;
    Json diagnostics = Json::array();
    std::set<std::tuple<std::int32_t, std::int32_t, std::string>> seen;  // a file read by two sources
    for (const auto& [uri, analysis] : analyses_) {
      // A file that another open source reads is an include file: what its
      // own run as a source found no longer counts.
      const Document* owner = Find(uri);
      if (owner && owner->path == path && !SourcesReading(path).empty()) continue;
      const auto findings = analysis.findings.find(path);
      if (findings == analysis.findings.end()) continue;
      for (const Finding& finding : findings->second) {
        if (!seen.emplace(finding.line, finding.column, finding.message).second) continue;
        diagnostics.push_back({{"range", RangeOfFinding(finding, path, owner && owner->path == path)},
                               {"severity", SeverityNumber(finding.severity)},
                               {"source", "vostrel"},
                               {"code", finding.stage},
                               {"message", finding.message}});
      }
    }
    publications.push_back({UriOf(path), std::move(diagnostics)});
  }
  return publications;
}

std::string Engine::UriOf(const fs::path& path) const {
  for (const auto& [uri, document] : documents_)
    if (document.path == path) return uri;
  return UriFromPath(path);
}

std::vector<std::string> Engine::LinesOf(const fs::path& path) const {
  std::vector<std::string> lines;
  for (const auto& [uri, document] : documents_) {
    if (document.path != path) continue;
    for (std::size_t i = 0; i < document.LineCount(); ++i) lines.emplace_back(document.Line(i));
    return lines;
  }
  std::string bytes;
  if (!ReadIncludeFile(path, bytes)) return lines;
  const std::vector<std::size_t> starts = LineStarts(bytes);
  for (std::size_t i = 0; i < starts.size(); ++i) lines.emplace_back(LineOf(bytes, starts, i));
  return lines;
}

Engine::Place Engine::ProtocolPlace(const Document& source, std::int32_t line, std::int32_t column) const {
  const std::int64_t character = std::max(column - 1, 0);
  const std::vector<std::size_t>& runStarts = source.runLineStarts;
  if (runStarts.empty() || line < 1) return {source.path, std::max(line - 1, 0), character, 0};
  // The run's lines end at CR LF and LF only, the editor's at a lone CR too.
  const std::string_view text = source.text;
  const std::size_t start = static_cast<std::size_t>(line) <= runStarts.size() ? runStarts[line - 1] : text.size();
  std::size_t end = std::min(text.find('\n', start), text.size());
  if (end > start && text[end - 1] == '\r') --end;
  const std::size_t offset = start + ByteOfCharacter(text.substr(start, end - start), character);
  const auto next = std::upper_bound(source.lineStarts.begin(), source.lineStarts.end(), offset);
  const auto protocolLine = static_cast<std::size_t>(next - source.lineStarts.begin() - 1);
  return {source.path, static_cast<std::int64_t>(protocolLine),
          CharacterOfByte(source.Line(protocolLine), offset - source.lineStarts[protocolLine]), 0};
}

Json Engine::RangeOfFinding(const Finding& finding, const fs::path& path, bool ofRunSource) const {
  std::int64_t line = finding.line > 0 ? finding.line - 1 : 0;
  std::int64_t start = std::max(finding.column - 1, 0);
  std::string lineText;
  for (const auto& [uri, document] : documents_) {
    if (document.path != path) continue;
    if (ofRunSource && finding.line > 0) {
      const Place place = ProtocolPlace(document, finding.line, finding.column);
      line = place.line;
      start = place.character;
    }
    lineText = document.Line(static_cast<std::size_t>(line));
  }
  if (lineText.empty() && !Find(UriOf(path))) {
    const std::vector<std::string> lines = LinesOf(path);
    if (static_cast<std::size_t>(line) < lines.size()) lineText = lines[static_cast<std::size_t>(line)];
  }
  if (finding.line <= 0 || finding.column <= 0) return Range(line, 0, CharacterCount(lineText));
  const auto word = sjis::FromUtf8(finding.word);
  const std::int64_t length = word && !word->empty() ? CharacterCount(*word) : 1;
  return Range(line, start, std::min(start + length, std::max(CharacterCount(lineText), start + 1)));
}

const Engine::Analysis* Engine::AnalysisFor(const std::string& uri) {
  const Document* document = Find(uri);
  if (!document) return nullptr;
  std::vector<std::string> readers = SourcesReading(document->path);
  const std::string owner = readers.empty() ? uri : readers.front();
  if (!analyses_[owner].current && Find(owner)) {
    std::vector<fs::path> touched;
    RunSource(documents_.at(owner), nullptr, touched);
  }
  return &analyses_.at(owner);
}

const Document& Engine::DocumentOf(const Json& params) const {
  const std::string uri = params.at("textDocument").at("uri").get<std::string>();
  const Document* document = Find(uri);
  if (!document) throw RequestRefused{"the document is not open: " + uri};
  return *document;
}

Engine::NameAt Engine::NameAtPosition(const Json& params) {
  NameAt at;
  const Document& document = DocumentOf(params);
  at.document = &document;
  at.analysis = AnalysisFor(document.uri);
  const Json& position = params.at("position");
  const std::string_view line = document.Line(position.at("line").get<std::size_t>());
  const std::size_t cursor = ByteOfCharacter(line, position.at("character").get<std::int64_t>());
  // The longest defined name that covers the cursor (or ends right before it).
  for (const vostrel::Definition& definition : at.analysis->definitions) {
    const std::string& name = definition.Name;
    if (name.size() <= at.name.size()) continue;
    const std::size_t from = cursor >= name.size() ? cursor - name.size() : 0;
    for (std::size_t p = line.find(name, from); p != std::string_view::npos && p <= cursor; p = line.find(name, p + 1)) {
      const bool definedHere = p > 0 && IsDefinitionLine(line, options_.StartChar) &&
                               CharacterOfByte(line, p) + 1 == definition.SourceColumn;
      if (StandsAsName(line, p, name) || definedHere) {
        at.name = name;
        at.character = CharacterOfByte(line, p);
        break;
      }
    }
  }
  return at;
}

std::optional<fs::path> Engine::IncludeTarget(std::string_view line) const {
  if (options_.DefName.empty() || sjis::FindBytes(line, options_.DefName) == std::string_view::npos) return std::nullopt;
  const std::string written = IncludePathAsWritten(CodeOfLine(line), options_.DefName);
  CompileRun run(options_);
  PrepareRun(run);
  std::error_code ec;
  for (const fs::path& home : run.IncludeHomeFolders.empty() ? std::vector{run.ExeDir} : run.IncludeHomeFolders) {
    const fs::path candidate = ResolveIncludePath(written, home);
    if (fs::is_regular_file(candidate, ec)) return NormalPath(candidate);
  }
  return std::nullopt;
}

Json Engine::Definition(const Json& params) {
  const Document& document = DocumentOf(params);
  const std::string_view line = document.Line(params.at("position").at("line").get<std::size_t>());
  const NameAt at = NameAtPosition(params);
  Json locations = Json::array();
  // Definitions are named by the file of the run that read them.
  if (!at.name.empty()) {
    const std::vector<std::string> readers = SourcesReading(document.path);
    const fs::path sourcePath = readers.empty() ? document.path : documents_.at(readers.front()).path;
    for (const vostrel::Definition& definition : at.analysis->definitions) {
      if (definition.Name != at.name) continue;
      Place place{NormalPath(PathFromUtf8(definition.SourceFile)), definition.SourceLine - 1,
                  std::max(definition.SourceColumn - 1, 0), 0};
      if (definition.SourceFile.empty()) place = ProtocolPlace(documents_.at(UriOf(sourcePath)), definition.SourceLine,
                                                               definition.SourceColumn);
      locations.push_back({{"uri", UriOf(place.path)},
                           {"range", Range(place.line, place.character, place.character + CharacterCount(at.name))}});
    }
    return locations;
  }
  if (const auto target = IncludeTarget(line)) return Json{{"uri", UriOf(*target)}, {"range", Range(0, 0, 0)}};
  return nullptr;
}

std::vector<Engine::Place> Engine::Occurrences(const std::string& name, const Analysis& analysis,
                                               const fs::path& sourcePath) const {
  // Longer names that hold this one take their own places first.
  std::vector<std::string_view> longer;
  std::int32_t scopeStart = 1;
  bool scopeKnown = false;
  for (const vostrel::Definition& definition : analysis.definitions) {
    if (definition.Name.size() > name.size() && definition.Name.find(name) != std::string::npos)
      longer.push_back(definition.Name);
    if (definition.Name == name && !scopeKnown) {
      scopeStart = definition.SourceFile.empty() ? definition.ScopeStartLine : 1;
      scopeKnown = true;
    }
  }
  std::vector<Place> places;
  auto scan = [&](const fs::path& path, bool isSource) {
    const std::vector<std::string> lines = LinesOf(path);
    for (std::size_t n = 0; n < lines.size(); ++n) {
      const std::string code = CodeOfLine(lines[n]);
      const bool definitionLine = IsDefinitionLine(code, options_.StartChar);
      vostrel::Definition defined;
      const bool defines = definitionLine && ParseDefinitionLine(code, options_.StartChar, 1, defined);
      // A one-byte name counts from its scope line on in the source, and
      // in the values of definitions (they are replaced where they land).
      const bool inScope = name.size() > 1 || !isSource || static_cast<std::int32_t>(n + 1) >= scopeStart || definitionLine;
      std::vector<bool> covered(code.size(), false);
      for (const std::string_view other : longer)
        for (std::size_t p = sjis::FindBytes(code, other); p != std::string_view::npos; p = sjis::FindBytes(code, other, p + 1))
          if (!sjis::IsSecondByte(code, p)) std::fill_n(covered.begin() + static_cast<std::ptrdiff_t>(p), other.size(), true);
      for (std::size_t p = sjis::FindBytes(code, name); p != std::string_view::npos; p = sjis::FindBytes(code, name, p + 1)) {
        const bool isDefinedName = defines && defined.Name == name && CharacterOfByte(code, p) + 1 == defined.SourceColumn;
        if (covered[p] && !isDefinedName) continue;
        if (!isDefinedName && (!inScope || !StandsAsName(code, p, name))) continue;
        places.push_back({path, static_cast<std::int64_t>(n), CharacterOfByte(code, p), CharacterCount(name)});
      }
    }
  };
  scan(sourcePath, true);
  for (const fs::path& include : analysis.includes) scan(include, false);
  return places;
}

Json Engine::References(const Json& params) {
  const NameAt at = NameAtPosition(params);
  if (at.name.empty()) return Json::array();
  const std::vector<std::string> readers = SourcesReading(at.document->path);
  const fs::path sourcePath = readers.empty() ? at.document->path : documents_.at(readers.front()).path;
  Json locations = Json::array();
  for (const Place& place : Occurrences(at.name, *at.analysis, sourcePath))
    locations.push_back({{"uri", UriOf(place.path)},
                         {"range", Range(place.line, place.character, place.character + place.length)}});
  return locations;
}

Json Engine::Rename(const Json& params) {
  const NameAt at = NameAtPosition(params);
  if (at.name.empty()) throw RequestRefused{"There is no defined name at this place."};
  const auto newName = sjis::FromUtf8(params.at("newName").get<std::string>());
  if (!newName || newName->empty()) throw RequestRefused{"The new name cannot be written in Shift-JIS."};
  if (newName->find_first_of(" \t;") != std::string::npos ||
      (!options_.StartChar.empty() && newName->find(options_.StartChar) != std::string::npos) ||
      (!options_.DefName.empty() && newName->find(options_.DefName) != std::string::npos))
    throw RequestRefused{"A name holds no space, tab, \";\", start character or include keyword."};
  if ((newName->size() == 1) != (at.name.size() == 1))
    throw RequestRefused{"A one-byte name is replaced only between delimiters and from its definition on, a longer "
                         "name everywhere: renaming between the two would change what the program says."};
  if (newName->size() == 1 && (IsDelimiter((*newName)[0]) || (*newName)[0] == '@' ||
                               static_cast<unsigned char>((*newName)[0]) >= 0x80))
    throw RequestRefused{"A one-byte name must not be a delimiter (. 0-9 # - + / * [ ] = ( ) space), \"@\" or a "
                         "byte of a double-byte character."};
  for (const vostrel::Definition& definition : at.analysis->definitions) {
    if (definition.Name == *newName)
      throw RequestRefused{"The name " + sjis::ToUtf8(*newName) + " is defined already."};
    if (newName->size() > 1 && definition.Name.size() > 1 && definition.Name != at.name &&
        (definition.Name.find(*newName) != std::string::npos || newName->find(definition.Name) != std::string::npos))
      throw RequestRefused{"The name " + sjis::ToUtf8(*newName) + " would overlap the defined name " +
                           sjis::ToUtf8(definition.Name) + ": names are replaced wherever their text stands."};
  }
  const std::vector<std::string> readers = SourcesReading(at.document->path);
  const fs::path sourcePath = readers.empty() ? at.document->path : documents_.at(readers.front()).path;
  // Text that the new name would be replaced in already (a longer name
  // wherever its text stands, a one-byte name between delimiters) would
  // change as well.
  std::vector<fs::path> files{sourcePath};
  files.insert(files.end(), at.analysis->includes.begin(), at.analysis->includes.end());
  for (const fs::path& file : files) {
    for (const std::string& line : LinesOf(file)) {
      const std::string code = CodeOfLine(line);
      for (std::size_t p = sjis::FindBytes(code, *newName); p != std::string_view::npos;
           p = sjis::FindBytes(code, *newName, p + 1))
        if (StandsAsName(code, p, *newName))
          throw RequestRefused{"The text " + sjis::ToUtf8(*newName) + " stands in " + PathToUtf8(file.filename()) +
                               " already and would be replaced as well."};
    }
  }
  const std::string replacement = sjis::ToUtf8(*newName);
  Json changes = Json::object();
  for (const Place& place : Occurrences(at.name, *at.analysis, sourcePath))
    changes[UriOf(place.path)].push_back(
        {{"range", Range(place.line, place.character, place.character + place.length)}, {"newText", replacement}});
  return {{"changes", changes}};
}

std::string Engine::LineAfterReplacement(std::string_view line, std::int32_t lineNumber, const Analysis& analysis) const {
  // The line through the stages before the definitions are read, then
  // through the two replacement stages with the run's definitions; a
  // one-byte name counts where its scope has begun.
  CompileRun run(options_);
  PrepareRun(run);
  HeadlessFrame frame(run);
  frame.SetKeepLog(false);
  LoadSourceText(std::string(line), {}, run, frame);
  run.DefinitionTable = analysis.definitions;
  for (vostrel::Definition& definition : run.DefinitionTable) {
    definition.ScopeStartLine = definition.ScopeStartLine <= lineNumber || !definition.SourceFile.empty() ? 1 : 2;
    run.MaxNameLength = std::max(run.MaxNameLength, definition.NameLength);
  }
  run.DefinitionCount = static_cast<int>(run.DefinitionTable.size());
  std::vector<StageEntry> stages;
  for (const StageEntry& stage : StageOrder()) {
    const std::string_view name = stage.logName;
    if (name == "ｺﾒﾝﾄ削除" || name == "タブ削除" || name == "16進から10進" || name == "外部定義ﾃﾞｰﾀ置換" ||
        name == "定義ﾃﾞｰﾀ置換")
      stages.push_back(stage);
  }
  RunStages(run, frame, stages);
  return run.WorkLines.empty() ? std::string() : std::string(run.WorkLines[0]);
}

Json Engine::Hover(const Json& params) {
  const NameAt at = NameAtPosition(params);
  if (at.name.empty()) return nullptr;
  const std::vector<std::string> readers = SourcesReading(at.document->path);
  const fs::path sourcePath = readers.empty() ? at.document->path : documents_.at(readers.front()).path;
  std::string text;
  for (const vostrel::Definition& definition : at.analysis->definitions) {
    if (definition.Name != at.name) continue;
    const fs::path file = definition.SourceFile.empty() ? sourcePath : PathFromUtf8(definition.SourceFile);
    if (text.empty()) text = "**" + sjis::ToUtf8(at.name) + "** = `" + sjis::ToUtf8(ValueShown(definition)) + "`\n\n";
    text += "defined in " + PathToUtf8(file.filename()) + ":" + std::to_string(definition.SourceLine) + "\n\n";
  }
  const std::size_t lineNumber = params.at("position").at("line").get<std::size_t>();
  if (readers.empty()) {
    const std::string after =
        LineAfterReplacement(at.document->Line(lineNumber), static_cast<std::int32_t>(lineNumber + 1), *at.analysis);
    text += "after replacement: `" + sjis::ToUtf8(after) + "`";
  }
  return {{"contents", {{"kind", "markdown"}, {"value", text}}},
          {"range", Range(static_cast<std::int64_t>(lineNumber), at.character, at.character + CharacterCount(at.name))}};
}

Json Engine::Completion(const Json& params) {
  const Document& document = DocumentOf(params);
  const Analysis* analysis = AnalysisFor(document.uri);
  Json items = Json::array();
  std::set<std::string> named;
  for (const vostrel::Definition& definition : analysis->definitions)
    if (named.insert(definition.Name).second)
      items.push_back({{"label", sjis::ToUtf8(definition.Name)}, {"kind", 21},
                       {"detail", sjis::ToUtf8(ValueShown(definition))}});
  for (const std::string& word : analysis->words)
    if (!word.empty() && named.insert(word).second)
      items.push_back({{"label", sjis::ToUtf8(word)}, {"kind", 14}, {"detail", "word list"}});
  for (const std::string& word : ifWords_)
    items.push_back({{"label", sjis::ToUtf8(word)}, {"kind", 20}, {"detail", "#IF word"}});
  return {{"isIncomplete", false}, {"items", items}};
}

Json Engine::DocumentSymbols(const Json& params) {
  const Document& document = DocumentOf(params);
  Json symbols = Json::array();
  auto symbol = [&](std::string name, int kind, std::size_t line, std::int64_t from, std::int64_t to,
                    std::size_t endLine, std::int64_t endCharacter) {
    symbols.push_back({{"name", std::move(name)}, {"kind", kind},
                       {"range", {{"start", Position(static_cast<std::int64_t>(line), 0)},
                                  {"end", Position(static_cast<std::int64_t>(endLine), endCharacter)}}},
                       {"selectionRange", Range(static_cast<std::int64_t>(line), from, to)}});
  };
  for (std::size_t n = 0; n < document.LineCount(); ++n) {
    const std::string_view line = document.Line(n);
    const std::string code = CodeOfLine(line);
    const std::int64_t length = CharacterCount(line);
    vostrel::Definition definition;
    if (IsDefinitionLine(code, options_.StartChar) && ParseDefinitionLine(code, options_.StartChar, 1, definition)) {
      const std::int64_t at = definition.SourceColumn - 1;
      symbol(sjis::ToUtf8(definition.Name), 14, n, at, at + CharacterCount(definition.Name), n, length);
      continue;
    }
    const std::string_view blockName = IfBlockName(code);
    if (!blockName.empty()) {
      std::size_t end = n;
      while (end < document.LineCount() && sjis::FindBytes(document.Line(end), "#END") == std::string_view::npos) ++end;
      if (end == document.LineCount()) --end;
      const std::size_t at = code.find("#IF");
      symbol("#IF " + sjis::ToUtf8(blockName), 3, n, CharacterOfByte(code, at), CharacterOfByte(code, at + 3), end,
             CharacterCount(document.Line(end)));
      continue;
    }
    const std::size_t first = code.find_first_not_of(' ');
    if (first != std::string::npos && (code[first] == 'O' || code[first] == 'o') && first + 1 < code.size() &&
        code[first + 1] >= '0' && code[first + 1] <= '9') {
      std::size_t end = first + 1;
      while (end < code.size() && code[end] >= '0' && code[end] <= '9') ++end;
      symbol(code.substr(first, end - first), 12, n, static_cast<std::int64_t>(first), static_cast<std::int64_t>(end), n,
             length);
    }
  }
  return symbols;
}

}  // namespace vostrel::langserver
