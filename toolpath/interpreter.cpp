// Executes a compiled NC program block by block, as a Fanuc-style milling
// control does, and records the moves of the tool.
//
// One pass over the text finds where the programs (O numbers) begin; every
// block is then read when it is executed, so a macro loop costs its
// blocks each time round and nothing is expanded. Sequence numbers are
// looked up through an index built for a program at its first GOTO.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <unordered_map>
#include <unordered_set>

#include "text/sjis.h"
#include "toolpath/expression.h"
#include "toolpath/toolpath.h"

namespace vostrel::toolpath {

namespace {

constexpr int kLocalCount = 34;  // #0 unused, #1-#33
using Locals = std::array<Value, kLocalCount>;

struct Axes {
  int a, b, n;  // the plane's first and second axis and its normal
};

Axes PlaneAxes(Plane p) {
  switch (p) {
    case Plane::XY: return {0, 1, 2};
    case Plane::ZX: return {2, 0, 1};
    case Plane::YZ: return {1, 2, 0};
  }
  return {0, 1, 2};
}

bool IsLetter(char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// G65 argument letters (the first form of argument assignment) to local variable numbers.
int ArgumentVariable(char letter) {
  switch (letter) {
    case 'A': return 1;  case 'B': return 2;  case 'C': return 3;  case 'I': return 4;
    case 'J': return 5;  case 'K': return 6;  case 'D': return 7;  case 'E': return 8;
    case 'F': return 9;  case 'H': return 11; case 'M': return 13; case 'Q': return 17;
    case 'R': return 18; case 'S': return 19; case 'T': return 20; case 'U': return 21;
    case 'V': return 22; case 'W': return 23; case 'X': return 24; case 'Y': return 25;
    case 'Z': return 26;
    default: return 0;
  }
}

struct Word {
  char letter;
  bool null;          // a vacant variable: the word counts as absent
  bool plainInteger;  // written without a decimal point
  double value;
  std::uint32_t at;   // where it stands in the block
};

struct Comment {
  std::uint32_t at;  // position in the block text where it stood
  std::string_view text;
};

struct CallFrame {
  std::int32_t returnLine;    // 0-based index of the line to go on with
  std::int32_t callLine;
  std::int32_t programStart;  // the O line of the program called
  std::int32_t repeatsLeft;
  bool macro;                 // G65: a level of local variables of its own
};

struct LoopFrame {
  int id;
  std::int32_t whileLine;
  std::size_t depth;  // the call depth it belongs to
};

struct StopRun {};  // the program ends here (an alarm, a runaway loop)

class Interpreter final : public VariableSource {
 public:
  Interpreter(const ProgramLines& lines, const Settings& settings, Result& result)
      : lines_(lines), settings_(settings), result_(result) {
    locals_.emplace_back();
    commons_.resize(1000);
    IndexPrograms();
  }

  void Execute();
  Value Read(int number) override;

 private:
  // ---- the program text ----
  void IndexPrograms();
  std::int32_t RegionStart(std::int32_t line) const;
  std::int32_t FindLabel(std::int32_t regionStart, std::int64_t n);
  std::int32_t FindProgram(std::int64_t number) const;
  std::int32_t MatchingEnd(std::int32_t whileLine, int id);
  void Normalize(std::string_view raw);

  // ---- blocks ----
  void ExecuteLine(std::int32_t index);
  void ExecuteStatement(std::size_t pos, std::int32_t index);
  void Assign(std::size_t pos, std::int32_t index);
  void MacroACall(std::size_t pos, std::int32_t index);
  void ExecuteWords(std::size_t pos, std::int32_t index);
  void Jump(std::int64_t label, std::int32_t index);
  void Write(int number, Value v, std::int32_t index);

  // ---- motion ----
  double Offset(int axis) const {
    return workOffsets_[0][axis] + workOffsets_[wcs_][axis] + shift_[axis] + local_[axis];
  }
  double Scaled(const Word& w) const {
    if (w.plainInteger && settings_.decimalInput == DecimalInput::Increment)
      return w.value * (inch_ ? 0.0001 : 0.001);
    return w.value;
  }
  void Move(MotionType type, const double to[3], std::int32_t line);
  void Arc(const double to[3], bool clockwise, const Word* ijk[3], const Word* r, std::int32_t line);
  void Drill(const Word* axisWords[3], const Word* letters[26], std::int32_t line);
  void Dwell(double seconds) { result_.statistics.dwellSeconds += seconds; }

  // ---- findings ----
  void Report(Severity severity, std::int32_t index, std::string message, std::string word = {});
  void WarnOnce(std::int32_t index, const std::string& message, std::string word = {});
  [[noreturn]] void Stop(std::int32_t index, std::string message, std::string word = {}) {
    Report(Severity::Error, index, std::move(message), std::move(word));
    throw StopRun{};
  }

  const ProgramLines& lines_;
  const Settings& settings_;
  Result& result_;

  // The program index.
  std::vector<std::int32_t> programLines_;  // lines that start with an O number, in order
  std::unordered_map<std::int64_t, std::int32_t> programs_;  // O number -> line
  std::unordered_set<std::int32_t> labelledRegions_;
  std::unordered_map<std::uint64_t, std::int32_t> labels_;  // (region, N) -> line
  std::unordered_map<std::int32_t, std::int32_t> loopEnds_;

  // The block being executed.
  std::string block_;
  std::vector<Comment> comments_;
  std::vector<Word> words_;
  std::vector<int> gcodes_;  // G values times ten

  // Execution.
  std::int32_t pc_ = 0;
  bool ended_ = false;
  std::vector<CallFrame> frames_;
  std::vector<LoopFrame> loops_;
  std::vector<Locals> locals_;
  std::vector<Value> commons_;  // #100-#199, #500-#999 (and whatever lies between)
  std::unordered_map<int, Value> system_;
  std::unordered_set<std::string> warned_;

  // Modal state.
  double pos_[3] = {0, 0, 0};
  double workOffsets_[7][3] = {};  // 0: external, 1-6: G54-G59
  int wcs_ = 1;
  double shift_[3] = {0, 0, 0};    // G92
  double local_[3] = {0, 0, 0};    // G52
  int motion_ = 0;                 // 0, 1, 2, 3
  int cycle_ = 0;                  // 0 or 73, 74, 76, 81-89
  Plane plane_ = Plane::XY;
  bool absolute_ = true;
  bool inch_ = false;
  bool unitsSet_ = false;
  bool returnInitial_ = true;      // G98
  int compensation_ = 40;
  int feedMode_ = 94;
  double feed_ = 0;
  std::int64_t tool_ = 0;
  double initialLevel_ = 0;
  bool haveCycleZ_ = false, haveCycleR_ = false;
  double cycleZ_ = 0, cycleR_ = 0, cycleQ_ = 0, cycleP_ = 0;
  bool cycleZAbsolute_ = true, cycleRAbsolute_ = true;
};

// ---------------------------------------------------------------- program text

std::int32_t ProgramNumberAt(std::string_view line, std::int64_t& number) {
  std::size_t p = 0;
  while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
  if (p >= line.size() || !(line[p] == 'O' || line[p] == 'o' || line[p] == ':')) return 0;
  ++p;
  while (p < line.size() && line[p] == ' ') ++p;
  if (p >= line.size() || !IsDigit(line[p])) return 0;
  number = 0;
  for (; p < line.size() && IsDigit(line[p]); ++p) number = number * 10 + (line[p] - '0');
  return 1;
}

void Interpreter::IndexPrograms() {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const std::string_view line = lines_[i];
    // The first byte says enough for nearly every line.
    std::size_t p = 0;
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
    if (p >= line.size()) continue;
    const char c = line[p];
    if (c != 'O' && c != 'o' && c != ':') continue;
    std::int64_t number;
    if (ProgramNumberAt(line, number)) {
      programLines_.push_back(static_cast<std::int32_t>(i));
      programs_.try_emplace(number, static_cast<std::int32_t>(i));
    }
  }
}

std::int32_t Interpreter::RegionStart(std::int32_t line) const {
  auto it = std::upper_bound(programLines_.begin(), programLines_.end(), line);
  return it == programLines_.begin() ? 0 : *(it - 1);
}

std::int32_t Interpreter::FindProgram(std::int64_t number) const {
  const auto it = programs_.find(number);
  return it == programs_.end() ? -1 : it->second;
}

std::int32_t Interpreter::FindLabel(std::int32_t regionStart, std::int64_t n) {
  if (labelledRegions_.insert(regionStart).second) {
    const auto next = std::upper_bound(programLines_.begin(), programLines_.end(), regionStart);
    const std::int32_t end = next == programLines_.end() ? static_cast<std::int32_t>(lines_.size()) : *next;
    for (std::int32_t i = regionStart; i < end; ++i) {
      const std::string_view line = lines_[static_cast<std::size_t>(i)];
      std::size_t p = 0;
      while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
      if (p < line.size() && line[p] == '/') {
        ++p;
        while (p < line.size() && IsDigit(line[p])) ++p;
      }
      if (p >= line.size() || (line[p] != 'N' && line[p] != 'n')) continue;
      ++p;
      std::int64_t number = 0;
      std::size_t digits = 0;
      for (; p < line.size() && IsDigit(line[p]) && digits < 12; ++p, ++digits) number = number * 10 + (line[p] - '0');
      if (digits == 0) continue;
      labels_.try_emplace((static_cast<std::uint64_t>(regionStart) << 32) ^ static_cast<std::uint64_t>(number), i);
    }
  }
  const auto it = labels_.find((static_cast<std::uint64_t>(regionStart) << 32) ^ static_cast<std::uint64_t>(n));
  return it == labels_.end() ? -1 : it->second;
}

// Upper case, no spaces, no comments (kept aside), up to a ';'.
void Interpreter::Normalize(std::string_view raw) {
  block_.clear();
  comments_.clear();
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(raw[i]);
    if (c == '(') {
      const std::size_t close = raw.find(')', i + 1);
      const std::size_t end = close == std::string_view::npos ? raw.size() : close;
      comments_.push_back({static_cast<std::uint32_t>(block_.size()), raw.substr(i + 1, end - i - 1)});
      i = end;
    } else if (c == ';') {
      break;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
    } else if (IsLeadByte(c) && i + 1 < raw.size()) {
      block_.push_back(static_cast<char>(c));
      block_.push_back(raw[++i]);
    } else {
      block_.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : static_cast<char>(c));
    }
  }
}

// ---------------------------------------------------------------- findings

void Interpreter::Report(Severity severity, std::int32_t index, std::string message, std::string word) {
  // A loop reports the same thing once per line.
  for (auto it = result_.findings.rbegin(); it != result_.findings.rend() && it - result_.findings.rbegin() < 8; ++it)
    if (it->line == index + 1 && it->message == message) return;
  result_.findings.push_back({severity, index + 1, std::move(message), std::move(word)});
}

void Interpreter::WarnOnce(std::int32_t index, const std::string& message, std::string word) {
  if (!warned_.insert(message).second) return;
  Report(Severity::Warning, index, message + " (以後は報告しません)", std::move(word));
}

// ---------------------------------------------------------------- variables

Value Interpreter::Read(int n) {
  if (n == 0) return {};
  if (n < kLocalCount) return locals_.back()[static_cast<std::size_t>(n)];
  if (n < 1000) return commons_[static_cast<std::size_t>(n)];
  switch (n) {
    case 4001: return Value::Of(cycle_ ? cycle_ : motion_);
    case 4002: return Value::Of(plane_ == Plane::XY ? 17 : plane_ == Plane::ZX ? 18 : 19);
    case 4003: return Value::Of(absolute_ ? 90 : 91);
    case 4005: return Value::Of(feedMode_);
    case 4006: return Value::Of(inch_ ? 20 : 21);
    case 4007: return Value::Of(compensation_);
    case 4009: return Value::Of(cycle_ ? cycle_ : 80);
    case 4010: return Value::Of(returnInitial_ ? 98 : 99);
    case 4014: return Value::Of(53 + wcs_);
    case 4109: return Value::Of(feed_);
    case 4120: return Value::Of(static_cast<double>(tool_));
    default: break;
  }
  if (n >= 5001 && n <= 5003) return Value::Of(pos_[n - 5001] - Offset(n - 5001));
  if (n >= 5041 && n <= 5043) return Value::Of(pos_[n - 5041] - Offset(n - 5041));
  if (n >= 5021 && n <= 5023) return Value::Of(pos_[n - 5021]);
  if (n >= 5201 && n < 5201 + 7 * 20 && (n - 5201) % 20 < 3) return Value::Of(workOffsets_[(n - 5201) / 20][(n - 5201) % 20]);
  const auto it = system_.find(n);
  return it == system_.end() ? Value{} : it->second;
}

void Interpreter::Write(int n, Value v, std::int32_t index) {
  if (n == 0) Stop(index, "#0 には代入できません", "#0");
  if (n < kLocalCount) {
    locals_.back()[static_cast<std::size_t>(n)] = v;
  } else if (n < 1000) {
    commons_[static_cast<std::size_t>(n)] = v;
  } else if (n == 3000) {
    std::string text = "アラーム #3000=" + std::to_string(RoundToInteger(v.Num()));
    if (!comments_.empty()) text += " (" + sjis::ToUtf8(comments_.front().text) + ")";
    Stop(index, text, "#3000");
  } else if (n == 3006) {
    Report(Severity::Note, index, "停止 #3006 (メッセージ付き停止、続けて実行します)", "#3006");
  } else if (n >= 5201 && n < 5201 + 7 * 20 && (n - 5201) % 20 < 3) {
    workOffsets_[(n - 5201) / 20][(n - 5201) % 20] = v.Num();
  } else {
    if (n >= 4000 && n < 6000) WarnOnce(index, "システム変数 #" + std::to_string(n) + " への代入は描画に反映しません", "#" + std::to_string(n));
    system_[n] = v;
  }
}

// ---------------------------------------------------------------- execution

void Interpreter::Execute() {
  const std::int64_t limit = std::max<std::int64_t>(settings_.blockLimit, 4 * static_cast<std::int64_t>(lines_.size()));
  Statistics& stats = result_.statistics;
  stats.lines = static_cast<std::int64_t>(lines_.size());
  try {
    while (!ended_ && pc_ < static_cast<std::int32_t>(lines_.size())) {
      const std::int32_t index = pc_++;
      if (++stats.blocks > limit)
        Stop(index, "実行したブロックが上限 " + std::to_string(limit) + " を超えました: 終わらないループです (この行で止めました)");
      ExecuteLine(index);
    }
    if (!ended_ && !frames_.empty())
      Report(Severity::Warning, frames_.back().callLine, "サブプログラムが M99 なしで終わりました");
  } catch (const StopRun&) {
    result_.stopped = true;
  }
  stats.inch = inch_;
}

void Interpreter::ExecuteLine(std::int32_t index) {
  const std::string_view raw = lines_[static_cast<std::size_t>(index)];
  Normalize(raw);
  if (block_.empty()) {
    --result_.statistics.blocks;
    return;
  }
  std::size_t pos = 0;
  if (block_[0] == '%') {
    // The end of the tape, unless nothing has been executed yet.
    if (result_.statistics.blocks > 1) ended_ = true;
    else --result_.statistics.blocks;
    return;
  }
  if (block_[0] == 'O' || block_[0] == ':') {
    const std::int32_t start = frames_.empty() ? RegionStart(0) : frames_.back().programStart;
    if (index != start && !(frames_.empty() && result_.statistics.blocks <= 1)) {
      // Running into the next program: a control has each program apart.
      if (frames_.empty()) {
        Report(Severity::Warning, index, "M30 なしで次のプログラムに達しました: ここで終わります");
        ended_ = true;
      } else {
        Report(Severity::Warning, index, "M99 なしで次のプログラムに達しました: 呼び出し元に戻ります");
        const CallFrame frame = frames_.back();
        frames_.pop_back();
        if (frame.macro) locals_.pop_back();
        pc_ = frame.returnLine;
      }
    }
    return;
  }
  if (block_[0] == '/') {  // optional block skip, switched off: the block runs
    pos = 1;
    while (pos < block_.size() && IsDigit(block_[pos])) ++pos;
  }
  if (pos < block_.size() && block_[pos] == 'N') {
    ++pos;
    while (pos < block_.size() && (IsDigit(block_[pos]) || block_[pos] == '.')) ++pos;
  }
  if (pos >= block_.size()) return;
  try {
    ExecuteStatement(pos, index);
  } catch (const MacroError& error) {
    Stop(index, error.message);
  }
}

void Interpreter::ExecuteStatement(std::size_t pos, std::int32_t index) {
  const std::string_view b = block_;
  const std::string_view rest = b.substr(pos);
  if (rest[0] == '#') return Assign(pos, index);
  if (rest.starts_with("IF[")) {
    Evaluator e(b, pos + 2, *this);
    e.Expect('[');
    const bool condition = e.Expression().Num() != 0;
    e.Expect(']');
    const std::size_t after = e.Pos();
    if (b.substr(after, 4) == "GOTO") {
      if (!condition) return;
      Evaluator target(b, after + 4, *this);
      return Jump(RoundToInteger(target.WordValue().value.Num()), index);
    }
    if (b.substr(after, 4) == "THEN") {
      if (condition) ExecuteStatement(after + 4, index);
      return;
    }
    Stop(index, "IF[...] の後に GOTO か THEN がありません", "IF");
  }
  if (rest.starts_with("WHILE[")) {
    Evaluator e(b, pos + 5, *this);
    e.Expect('[');
    const bool condition = e.Expression().Num() != 0;
    e.Expect(']');
    if (b.substr(e.Pos(), 2) != "DO") Stop(index, "WHILE[...] の後に DO がありません", "WHILE");
    const int id = static_cast<int>(RoundToInteger(std::strtod(block_.c_str() + e.Pos() + 2, nullptr)));
    if (condition) {
      // A loop entered again (after a GOTO out of it) replaces its old entry.
      while (!loops_.empty() && loops_.back().depth == frames_.size() &&
             (loops_.back().whileLine == index || loops_.back().id == id))
        loops_.pop_back();
      loops_.push_back({id, index, frames_.size()});
      if (loops_.size() > 64) Stop(index, "DO の入れ子が深すぎます", "DO");
    } else {
      const std::int32_t end = MatchingEnd(index, id);
      if (end < 0) Stop(index, "DO" + std::to_string(id) + " に対応する END" + std::to_string(id) + " がありません", "DO");
      pc_ = end + 1;
    }
    return;
  }
  if (rest.starts_with("END") && rest.size() > 3 && IsDigit(rest[3])) {
    const int id = rest[3] - '0';
    while (!loops_.empty() && loops_.back().depth == frames_.size()) {
      const LoopFrame loop = loops_.back();
      loops_.pop_back();
      if (loop.id == id) {
        pc_ = loop.whileLine;
        return;
      }
    }
    Stop(index, "END" + std::to_string(id) + " に対応する DO がありません", "END");
  }
  if (rest.starts_with("DO") && rest.size() > 2 && IsDigit(rest[2])) {
    // DO without WHILE: for ever.
    loops_.push_back({rest[2] - '0', index, frames_.size()});
    if (loops_.size() > 64) loops_.erase(loops_.begin());
    return;
  }
  if (rest.starts_with("GOTO")) {
    Evaluator target(b, pos + 4, *this);
    return Jump(RoundToInteger(target.WordValue().value.Num()), index);
  }
  if (rest.starts_with("G65H")) return MacroACall(pos, index);
  // External output (DPRNT and its file commands) moves nothing.
  if (rest.starts_with("DPRNT[") || rest.starts_with("BPRNT[") || rest.starts_with("POPEN") ||
      rest.starts_with("PCLOS"))
    return;
  ExecuteWords(pos, index);
}

std::int32_t Interpreter::MatchingEnd(std::int32_t whileLine, int id) {
  if (const auto it = loopEnds_.find(whileLine); it != loopEnds_.end()) return it->second;
  const std::string tag = "END" + std::to_string(id);
  const std::string doTag = "DO" + std::to_string(id);
  int depth = 0;
  const std::string saved = block_;
  const std::vector<Comment> savedComments = comments_;
  std::int32_t found = -1;
  for (std::size_t i = static_cast<std::size_t>(whileLine) + 1; i < lines_.size(); ++i) {
    Normalize(lines_[i]);
    std::size_t p = 0;
    if (p < block_.size() && block_[p] == 'N')
      for (++p; p < block_.size() && IsDigit(block_[p]); ++p) {
      }
    const std::string_view s = std::string_view(block_).substr(p);
    if (s.starts_with("WHILE[") && s.find(doTag) != std::string_view::npos && s.ends_with(doTag)) ++depth;
    if (s.starts_with(tag) && (s.size() == tag.size() || !IsDigit(s[tag.size()]))) {
      if (depth == 0) {
        found = static_cast<std::int32_t>(i);
        break;
      }
      --depth;
    }
  }
  block_ = saved;
  comments_ = savedComments;
  loopEnds_[whileLine] = found;
  return found;
}

void Interpreter::Jump(std::int64_t label, std::int32_t index) {
  const std::int32_t region = frames_.empty() ? RegionStart(index) : frames_.back().programStart;
  const std::int32_t target = FindLabel(region, label);
  if (target < 0) Stop(index, "飛び先の N" + std::to_string(label) + " がありません", "N" + std::to_string(label));
  pc_ = target;
}

void Interpreter::Assign(std::size_t pos, std::int32_t index) {
  Evaluator e(block_, pos, *this);
  const int n = e.VariableNumber();
  e.Expect('=');
  const Value v = e.Expression();
  if (!e.AtEnd()) Stop(index, "式の後に読めない文字があります: " + sjis::ToUtf8(block_.substr(e.Pos(), 12)));
  Write(n, v, index);
}

// G65 Hnn P#i Q.. R..: the H-code calls Vostrel writes for Macro A.
void Interpreter::MacroACall(std::size_t pos, std::int32_t index) {
  pos += 4;
  double h = 0;
  bool point;
  if (!ParseNumber(block_, pos, h, point)) Stop(index, "G65 H の番号がありません", "G65H");
  const int code = static_cast<int>(h);
  int target = -1;
  Value p, q, r;
  while (pos < block_.size()) {
    const char letter = block_[pos];
    if (!IsLetter(letter)) Stop(index, "G65 H" + std::to_string(code) + " の引数が読めません: " + sjis::ToUtf8(block_.substr(pos, 12)));
    if (letter != 'P' && letter != 'Q' && letter != 'R')
      Stop(index, "G65 H" + std::to_string(code) + " の引数は P Q R です: " + sjis::ToUtf8(block_.substr(pos, 12)),
           std::string(1, letter));
    Evaluator e(block_, pos + 1, *this);
    if (letter == 'P' && code < 80) {
      target = e.VariableNumber();
    } else {
      const Value v = e.WordValue().value;
      if (letter == 'P') p = v;
      else if (letter == 'Q') q = v;
      else if (letter == 'R') r = v;
    }
    pos = e.Pos();
  }
  auto compare = [&](auto test) {
    // As the comparisons of IF[...]: the vacant value equals only itself.
    const bool equal = (q.null || r.null) ? q.null == r.null : std::fabs(q.v - r.v) <= 1e-10 * std::fmax(1.0, std::fmax(std::fabs(q.v), std::fabs(r.v)));
    if (test(equal, q.Num(), r.Num())) Jump(RoundToInteger(p.Num()), index);
  };
  if (code >= 80) {
    switch (code) {
      case 80: return Jump(RoundToInteger(p.Num()), index);
      case 81: return compare([](bool eq, double, double) { return eq; });
      case 82: return compare([](bool eq, double, double) { return !eq; });
      case 83: return compare([](bool eq, double a, double b) { return !eq && a > b; });
      case 84: return compare([](bool eq, double a, double b) { return !eq && a < b; });
      case 85: return compare([](bool eq, double a, double b) { return eq || a > b; });
      case 86: return compare([](bool eq, double a, double b) { return eq || a < b; });
      case 99: {
        std::string text = "アラーム G65 H99 P" + std::to_string(RoundToInteger(p.Num()));
        if (!comments_.empty()) text += " (" + sjis::ToUtf8(comments_.front().text) + ")";
        Stop(index, text, "G65H99");
      }
      default: Stop(index, "G65 H" + std::to_string(code) + " は知らない H コードです", "G65H");
    }
  }
  if (target < 0) Stop(index, "G65 H" + std::to_string(code) + " に P#変数がありません", "G65H");
  const double a = q.Num(), b = r.Num();
  auto integer = [](double d) { return RoundToInteger(d); };
  Value out;
  switch (code) {
    case 1: out = q; break;
    case 2: out = Value::Of(a + b); break;
    case 3: out = Value::Of(a - b); break;
    case 4: out = Value::Of(a * b); break;
    case 5:
      if (b == 0) Stop(index, "G65 H05: 0 で割りました", "G65H05");
      out = Value::Of(a / b);
      break;
    case 11: out = Value::Of(static_cast<double>(integer(a) | integer(b))); break;
    case 12: out = Value::Of(static_cast<double>(integer(a) & integer(b))); break;
    case 13: out = Value::Of(static_cast<double>(integer(a) ^ integer(b))); break;
    case 21: out = Value::Of(Apply(Function::Sqrt, a)); break;
    case 22: out = Value::Of(std::fabs(a)); break;
    case 23:
      if (integer(b) == 0) Stop(index, "G65 H23: 0 で割りました", "G65H23");
      out = Value::Of(static_cast<double>(integer(a) % integer(b)));
      break;
    case 24: out = Value::Of(Apply(Function::Bin, a)); break;
    case 25: out = Value::Of(Apply(Function::Bcd, a)); break;
    case 26: {
      if (b == 0) Stop(index, "G65 H26: 0 で割りました", "G65H26");
      out = Value::Of(Read(target).Num() * a / b);
      break;
    }
    case 27: out = Value::Of(std::sqrt(a * a + b * b)); break;
    case 28: out = Value::Of(Apply(Function::Sqrt, a * a - b * b)); break;
    case 31: out = Value::Of(a * Apply(Function::Sin, b)); break;
    case 32: out = Value::Of(a * Apply(Function::Cos, b)); break;
    case 33: out = Value::Of(a * Apply(Function::Tan, b)); break;
    case 34: out = Value::Of(Apply(Function::Atan, a, b, true)); break;
    default: Stop(index, "G65 H" + std::to_string(code) + " は知らない H コードです", "G65H");
  }
  Write(target, out, index);
}

void Interpreter::ExecuteWords(std::size_t pos, std::int32_t index) {
  words_.clear();
  gcodes_.clear();
  while (pos < block_.size()) {
    const char letter = block_[pos];
    if (!IsLetter(letter)) Stop(index, "読めない文字があります: " + sjis::ToUtf8(block_.substr(pos, 12)));
    Evaluator e(block_, pos + 1, *this);
    if (e.AtEnd() || IsLetter(e.Peek())) Stop(index, std::string("アドレス ") + letter + " に値がありません", std::string(1, letter));
    const Operand v = e.WordValue();
    if (letter == 'G' && !v.value.null) gcodes_.push_back(static_cast<int>(std::lround(v.value.v * 10)));
    words_.push_back({letter, v.value.null, v.plainInteger, v.value.v, static_cast<std::uint32_t>(pos)});
    pos = e.Pos();
  }

  const Word* letters[26] = {};
  bool repeated[26] = {};
  for (const Word& w : words_) {
    if (w.null) continue;
    const int i = w.letter - 'A';
    if (letters[i]) repeated[i] = true;
    letters[i] = &w;
  }
  auto word = [&](char c) { return letters[c - 'A']; };
  Statistics& stats = result_.statistics;

  // ---- G codes: modal first, then the one-shot ones below ----
  bool dwell = false, setData = false, reference = false, machine = false, setShift = false,
       macroCall = false, localShift = false;
  int referenceCode = 28;
  bool motionGiven = false;
  for (const int g : gcodes_) {
    switch (g) {
      case 0: case 10: case 20: case 30:
        motion_ = g / 10; cycle_ = 0; motionGiven = true; break;
      case 40: dwell = true; break;
      case 100: setData = true; break;
      case 170: plane_ = Plane::XY; break;
      case 180: plane_ = Plane::ZX; break;
      case 190: plane_ = Plane::YZ; break;
      case 200: case 210: {
        const bool inch = g == 200;
        if (unitsSet_ && inch != inch_ && !result_.motions.empty())
          WarnOnce(index, "単位 (G20/G21) が途中で変わりました: 位置は換算せずにそのまま描きます", g == 200 ? "G20" : "G21");
        inch_ = inch;
        unitsSet_ = true;
        break;
      }
      case 270: case 280: case 300: reference = true; referenceCode = g / 10; break;
      case 290: WarnOnce(index, "G29 (参照点からの復帰) は描きません", "G29"); break;
      case 310: WarnOnce(index, "G31 (スキップ) は送りとして終点まで描きます", "G31"); motion_ = 1; cycle_ = 0; motionGiven = true; break;
      case 330: WarnOnce(index, "G33 (ねじ切り) は送りとして描きます", "G33"); motion_ = 1; cycle_ = 0; motionGiven = true; break;
      case 400: compensation_ = 40; break;
      case 410: case 420:
        compensation_ = g / 10;
        WarnOnce(index, "工具径補正 " + std::string(g == 410 ? "G41" : "G42") + " は補正せず、プログラムの通りに描きます",
                 g == 410 ? "G41" : "G42");
        break;
      case 430: case 440: WarnOnce(index, "工具長補正 G43/G44 は描画に反映しません", g == 430 ? "G43" : "G44"); break;
      case 490: break;
      case 500: case 510: if (g == 510) WarnOnce(index, "スケーリング G51 は描画に反映しません", "G51"); break;
      case 501: break;
      case 511: WarnOnce(index, "ミラーイメージ G51.1 は描画に反映しません", "G51.1"); break;
      case 520: localShift = true; break;
      case 530: machine = true; break;
      case 540: case 550: case 560: case 570: case 580: case 590: wcs_ = g / 10 - 53; break;
      case 541: WarnOnce(index, "追加ワーク座標系 G54.1 は G54 として描きます", "G54.1"); wcs_ = 1; break;
      case 610: case 620: case 630: case 640: break;
      case 650: macroCall = true; break;
      case 660: case 661: WarnOnce(index, "モーダル呼び出し G66 は呼び出さずに描きます", "G66"); break;
      case 670: break;
      case 680: WarnOnce(index, "座標回転 G68 は描画に反映しません", "G68"); break;
      case 690: case 150: break;
      case 160: WarnOnce(index, "極座標指令 G16 は描画に反映しません", "G16"); break;
      case 730: case 740: case 760: case 810: case 820: case 830: case 840: case 850: case 860: case 870: case 880: case 890: {
        const int c = g / 10;
        if (cycle_ == 0) initialLevel_ = pos_[PlaneAxes(plane_).n];
        cycle_ = c;
        break;
      }
      case 800: cycle_ = 0; haveCycleR_ = haveCycleZ_ = false; break;
      case 900: absolute_ = true; break;
      case 910: absolute_ = false; break;
      case 920: setShift = true; break;
      case 940: feedMode_ = 94; break;
      case 950: feedMode_ = 95; WarnOnce(index, "毎回転送り G95 の時間は見積もりません", "G95"); break;
      case 960: case 970: break;
      case 980: returnInitial_ = true; break;
      case 990: returnInitial_ = false; break;
      default: {
        std::string name = "G" + std::to_string(g / 10);
        if (g % 10) name += "." + std::to_string(g % 10);
        WarnOnce(index, "知らない G コード " + name + " は無視しました", name);
      }
    }
  }
  (void)motionGiven;

  // ---- F, T, M06 ----
  if (const Word* f = word('F'); f && !macroCall) feed_ = f->value;
  if (const Word* t = word('T'); t && !macroCall) {
    tool_ = RoundToInteger(t->value);
    auto& tools = stats.tools;
    if (std::none_of(tools.begin(), tools.end(), [&](const ToolUse& u) { return u.number == tool_; })) {
      ToolUse use{static_cast<std::int32_t>(tool_), index + 1, {}};
      for (const Comment& c : comments_)
        if (c.at > t->at) {
          use.remark = std::string(c.text);
          break;
        }
      tools.push_back(std::move(use));
    }
  }
  bool callSub = false, returnSub = false, end = false;
  for (const Word& w : words_) {
    if (w.letter != 'M' || w.null || macroCall) continue;
    switch (RoundToInteger(w.value)) {
      case 6: ++stats.toolChanges; break;
      case 2: case 30: end = true; break;
      case 98: callSub = true; break;
      case 99: returnSub = true; break;
      case 97: WarnOnce(index, "M97 (同じプログラム内のサブ呼び出し) は呼び出さずに進みます", "M97"); break;
      default: break;
    }
  }
  for (const char c : {'A', 'B', 'C', 'U', 'V', 'W'})
    if (word(c) && !macroCall)
      WarnOnce(index, std::string("軸 ") + c + " の動きは描きません", std::string(1, c));

  const Word* axisWords[3] = {word('X'), word('Y'), word('Z')};
  const bool anyAxis = axisWords[0] || axisWords[1] || axisWords[2];

  // ---- one-shot G codes ----
  if (macroCall) {
    const Word* p = word('P');
    if (!p) Stop(index, "G65 に P (プログラム番号) がありません", "G65");
    const std::int32_t start = FindProgram(RoundToInteger(p->value));
    if (start < 0) {
      WarnOnce(index, "G65 P" + std::to_string(RoundToInteger(p->value)) + ": このファイルにないプログラムは呼び出さずに進みます", "G65");
      return;
    }
    Locals args{};
    int group = 0, lastIjk = -1;
    bool pSeen = false;
    for (const Word& w : words_) {
      if (w.letter == 'G' || w.letter == 'L' || w.letter == 'N' || w.letter == 'O') continue;
      if (w.letter == 'P' && !pSeen) {
        pSeen = true;
        continue;
      }
      const Value v = w.null ? Value{} : Value::Of(Scaled(w));
      if (w.letter == 'I' || w.letter == 'J' || w.letter == 'K') {
        // The second form of argument assignment: I J K come in sets of three, a new set whenever
        // the order starts again.
        const int k = w.letter - 'I';
        if (lastIjk >= 0 && k <= lastIjk) ++group;
        lastIjk = k;
        const int n = 4 + 3 * group + k;
        if (n < kLocalCount) args[static_cast<std::size_t>(n)] = v;
      } else if (const int n = ArgumentVariable(w.letter)) {
        args[static_cast<std::size_t>(n)] = v;
      }
    }
    const Word* l = word('L');
    const std::int64_t count = l ? RoundToInteger(l->value) : 1;
    if (count <= 0) return;
    if (frames_.size() >= 200) Stop(index, "呼び出しの入れ子が深すぎます", "G65");
    frames_.push_back({index + 1, index, start, static_cast<std::int32_t>(count - 1), true});
    locals_.push_back(args);
    pc_ = start + 1;
    return;
  }
  if (dwell) {
    if (const Word* p = word('P')) Dwell(p->value / 1000.0);
    else if (const Word* x = word('X')) Dwell(Scaled(*x));
    return;
  }
  if (setData) {
    const Word* l = word('L');
    const Word* p = word('P');
    const std::int64_t kind = l ? RoundToInteger(l->value) : 0;
    if (kind == 2 && p) {
      const std::int64_t n = RoundToInteger(p->value);
      if (n < 0 || n > 6) Stop(index, "G10 L2 P" + std::to_string(n) + ": P は 0 から 6 です", "G10");
      for (int i = 0; i < 3; ++i)
        if (axisWords[i]) {
          const double v = Scaled(*axisWords[i]);
          workOffsets_[n][i] = absolute_ ? v : workOffsets_[n][i] + v;
        }
    } else if (kind == 20) {
      WarnOnce(index, "G10 L20 (追加ワーク座標系) は描画に反映しません", "G10");
    }
    return;  // tool offsets (L1, L10-L13) are not drawn
  }
  if (setShift) {
    for (int i = 0; i < 3; ++i)
      if (axisWords[i]) shift_[i] = pos_[i] - Scaled(*axisWords[i]) - workOffsets_[0][i] - workOffsets_[wcs_][i] - local_[i];
    return;
  }
  if (localShift) {
    for (int i = 0; i < 3; ++i)
      if (axisWords[i]) local_[i] = Scaled(*axisWords[i]);
    return;
  }
  if (reference) {
    if (referenceCode == 27) WarnOnce(index, "G27 は参照点への早送りとして描きます", "G27");
    if (referenceCode == 30 && word('P') && RoundToInteger(word('P')->value) != 2)
      WarnOnce(index, "G30 は第 2 参照点 (機械座標 0) への早送りとして描きます", "G30");
    double to[3] = {pos_[0], pos_[1], pos_[2]};
    for (int i = 0; i < 3; ++i)
      if (axisWords[i]) to[i] = absolute_ ? Scaled(*axisWords[i]) + Offset(i) : pos_[i] + Scaled(*axisWords[i]);
    if (referenceCode != 27) Move(MotionType::Rapid, to, index);
    for (int i = 0; i < 3; ++i)
      if (axisWords[i]) to[i] = 0;
    Move(MotionType::Rapid, to, index);
  } else if (machine) {
    if (!absolute_) WarnOnce(index, "G53 は G91 でも機械座標の絶対値として描きます", "G53");
    double to[3] = {pos_[0], pos_[1], pos_[2]};
    for (int i = 0; i < 3; ++i)
      if (axisWords[i]) to[i] = Scaled(*axisWords[i]);
    Move(MotionType::Rapid, to, index);
  } else if (cycle_ != 0 && (anyAxis || word('R'))) {
    Drill(axisWords, letters, index);
  } else if (anyAxis || (motion_ >= 2 && (word('I') || word('J') || word('K')))) {
    double to[3] = {pos_[0], pos_[1], pos_[2]};
    for (int i = 0; i < 3; ++i)
      if (axisWords[i]) to[i] = absolute_ ? Scaled(*axisWords[i]) + Offset(i) : pos_[i] + Scaled(*axisWords[i]);
    if (motion_ == 0) {
      Move(MotionType::Rapid, to, index);
    } else if (motion_ == 1) {
      Move(MotionType::Feed, to, index);
    } else {
      const Word* ijk[3] = {word('I'), word('J'), word('K')};
      Arc(to, motion_ == 2, ijk, word('R'), index);
    }
  }
  (void)repeated;

  // ---- program flow, after the block's motion ----
  if (callSub) {
    const Word* p = word('P');
    if (!p) Stop(index, "M98 に P (プログラム番号) がありません", "M98");
    std::int64_t program = RoundToInteger(p->value);
    std::int64_t count = 1;
    if (const Word* l = word('L')) count = RoundToInteger(l->value);
    else if (const Word* k = word('K')) count = RoundToInteger(k->value);
    else if (program > 9999) count = program / 10000, program %= 10000;  // P<count 4 digits><program 4 digits>
    const std::int32_t start = FindProgram(program);
    if (start < 0) {
      WarnOnce(index, "M98 P" + std::to_string(program) + ": このファイルにないプログラムは呼び出さずに進みます", "M98");
    } else if (count > 0) {
      if (frames_.size() >= 200) Stop(index, "呼び出しの入れ子が深すぎます", "M98");
      frames_.push_back({index + 1, index, start, static_cast<std::int32_t>(std::min<std::int64_t>(count - 1, 1 << 30)), false});
      pc_ = start + 1;
    }
    return;
  }
  if (returnSub) {
    if (frames_.empty()) {
      Report(Severity::Note, index, "メインプログラムの M99 は先頭に戻って繰り返します: 1 回分だけ描きます", "M99");
      ended_ = true;
      return;
    }
    CallFrame& frame = frames_.back();
    while (!loops_.empty() && loops_.back().depth == frames_.size()) loops_.pop_back();
    if (frame.repeatsLeft > 0) {
      --frame.repeatsLeft;
      pc_ = frame.programStart + 1;
      return;
    }
    const CallFrame done = frame;
    frames_.pop_back();
    if (done.macro) locals_.pop_back();
    if (const Word* p = word('P')) {
      const std::int32_t region = frames_.empty() ? RegionStart(done.callLine) : frames_.back().programStart;
      const std::int32_t target = FindLabel(region, RoundToInteger(p->value));
      if (target < 0) Stop(index, "M99 P の戻り先 N" + std::to_string(RoundToInteger(p->value)) + " がありません", "M99");
      pc_ = target;
    } else {
      pc_ = done.returnLine;
    }
    return;
  }
  if (end) ended_ = true;
}

// ---------------------------------------------------------------- motion

void Interpreter::Move(MotionType type, const double to[3], std::int32_t line) {
  if (to[0] == pos_[0] && to[1] == pos_[1] && to[2] == pos_[2]) return;
  Motion m{};
  std::memcpy(m.from, pos_, sizeof pos_);
  std::memcpy(m.to, to, sizeof m.to);
  m.feed = type == MotionType::Rapid ? 0 : feed_;
  m.line = line + 1;
  m.type = type;
  m.plane = plane_;
  m.clockwise = false;
  if (type != MotionType::Rapid && feed_ <= 0 && !result_.statistics.feedMissing) {
    result_.statistics.feedMissing = true;
    Report(Severity::Warning, line, "送り速度 F がないまま切削送りしています", "F");
  }
  result_.motions.push_back(m);
  std::memcpy(pos_, to, sizeof pos_);
}

void Interpreter::Arc(const double to[3], bool clockwise, const Word* ijk[3], const Word* r, std::int32_t line) {
  const Axes ax = PlaneAxes(plane_);
  const double sa = pos_[ax.a], sb = pos_[ax.b];
  const double ea = to[ax.a], eb = to[ax.b];
  double ca, cb;
  if (r) {
    const double radius = Scaled(*r);
    const double da = ea - sa, db = eb - sb;
    const double chord = std::hypot(da, db);
    if (chord == 0) {
      WarnOnce(line, "R 指令の円弧の始点と終点が同じです: 動きません", "R");
      return;
    }
    double h2 = radius * radius - chord * chord / 4;
    if (h2 < 0) {
      if (chord / 2 - std::fabs(radius) > 1e-3 * std::fmax(1.0, std::fabs(radius)))
        Stop(line, "円弧の半径 R が始点と終点の距離の半分より小さいです", "R");
      h2 = 0;
    }
    const double h = std::sqrt(h2) / chord;
    // Left of the chord for a counter-clockwise short arc; R < 0 takes the long way.
    double side = clockwise ? -1 : 1;
    if (radius < 0) side = -side;
    ca = sa + da / 2 - side * h * db;
    cb = sb + db / 2 + side * h * da;
  } else {
    const double offA = ijk[ax.a] ? Scaled(*ijk[ax.a]) : 0;
    const double offB = ijk[ax.b] ? Scaled(*ijk[ax.b]) : 0;
    if (!ijk[ax.a] && !ijk[ax.b]) Stop(line, "円弧に R も中心 (I J K) もありません", clockwise ? "G02" : "G03");
    ca = sa + offA;
    cb = sb + offB;
    const double r0 = std::hypot(sa - ca, sb - cb), r1 = std::hypot(ea - ca, eb - cb);
    if (std::fabs(r0 - r1) > (inch_ ? 0.0002 : 0.005) + 1e-6 * r0)
      Report(Severity::Warning, line, "円弧の終点が半径に乗っていません (始点側 " + std::to_string(r0) + "、終点側 " + std::to_string(r1) + ")",
             clockwise ? "G02" : "G03");
  }
  Motion m{};
  std::memcpy(m.from, pos_, sizeof pos_);
  std::memcpy(m.to, to, sizeof m.to);
  m.center[ax.a] = ca;
  m.center[ax.b] = cb;
  m.center[ax.n] = pos_[ax.n];
  m.feed = feed_;
  m.line = line + 1;
  m.type = MotionType::Arc;
  m.plane = plane_;
  m.clockwise = clockwise;
  if (feed_ <= 0 && !result_.statistics.feedMissing) {
    result_.statistics.feedMissing = true;
    Report(Severity::Warning, line, "送り速度 F がないまま切削送りしています", "F");
  }
  result_.motions.push_back(m);
  std::memcpy(pos_, to, sizeof pos_);
}

void Interpreter::Drill(const Word* axisWords[3], const Word* letters[26], std::int32_t line) {
  const Axes ax = PlaneAxes(plane_);
  auto word = [&](char c) { return letters[c - 'A']; };
  // The cycle's data stays until G80 or a motion code.
  if (const Word* z = axisWords[ax.n]) {
    cycleZ_ = Scaled(*z);
    cycleZAbsolute_ = absolute_;
    haveCycleZ_ = true;
  }
  if (const Word* r = word('R')) {
    cycleR_ = Scaled(*r);
    cycleRAbsolute_ = absolute_;
    haveCycleR_ = true;
  }
  if (const Word* q = word('Q')) cycleQ_ = std::fabs(Scaled(*q));
  if (const Word* p = word('P')) cycleP_ = p->value / 1000.0;
  std::int64_t repeats = 1;
  if (const Word* k = word('K')) repeats = RoundToInteger(k->value);
  else if (const Word* l = word('L')) repeats = RoundToInteger(l->value);
  if (repeats <= 0) return;  // K0: the data is stored, no hole
  if (!haveCycleZ_) Stop(line, "固定サイクルに穴底の位置がありません", "Z");
  if (cycle_ == 76 || cycle_ == 87)
    WarnOnce(line, "G" + std::to_string(cycle_) + " のシフト (Q) は描きません", "G" + std::to_string(cycle_));
  if (cycle_ == 88) WarnOnce(line, "G88 の手動での戻りは早送りとして描きます", "G88");
  if (repeats > 100000) Stop(line, "固定サイクルの繰り返し K が大きすぎます", "K");

  const double initial = initialLevel_;
  const double rLevel = !haveCycleR_ ? initial : cycleRAbsolute_ ? cycleR_ + Offset(ax.n) : initial + cycleR_;
  const double bottom = cycleZAbsolute_ ? cycleZ_ + Offset(ax.n) : rLevel + cycleZ_;
  const double back = returnInitial_ ? initial : rLevel;
  const double down = bottom < rLevel ? -1.0 : 1.0;  // the direction of drilling
  const double toUnits = inch_ ? 1 / 25.4 : 1;        // the parameters are in mm
  const double clearance = settings_.peckClearance * toUnits, retract = settings_.peckRetract * toUnits;
  auto go = [&](MotionType type, double level) {
    double to[3] = {pos_[0], pos_[1], pos_[2]};
    to[ax.n] = level;
    const std::size_t before = result_.motions.size();
    Move(type, to, line);
    if (type == MotionType::Feed && level == bottom && result_.motions.size() > before)
      result_.motions.back().holeBottom = true;
  };
  for (std::int64_t k = 0; k < repeats; ++k) {
    double to[3] = {pos_[0], pos_[1], pos_[2]};
    for (const int i : {ax.a, ax.b})
      if (axisWords[i]) to[i] = absolute_ ? Scaled(*axisWords[i]) + Offset(i) : pos_[i] + Scaled(*axisWords[i]);
    Move(MotionType::Rapid, to, line);
    if (cycle_ == 87) {
      // Back boring: down to R (below the part) by rapid, cut up to Z.
      go(MotionType::Rapid, rLevel);
      go(MotionType::Feed, bottom);
      Dwell(cycleP_);
      go(MotionType::Rapid, initial);
      continue;
    }
    go(MotionType::Rapid, rLevel);
    switch (cycle_) {
      case 73:
      case 83: {
        if (cycleQ_ <= 0) Stop(line, "G" + std::to_string(cycle_) + " に切り込み量 Q がありません", "Q");
        double depth = rLevel;
        for (bool first = true;; first = false) {
          const double next = down < 0 ? std::fmax(depth - cycleQ_, bottom) : std::fmin(depth + cycleQ_, bottom);
          if (!first && cycle_ == 83) go(MotionType::Rapid, depth - down * clearance);
          go(MotionType::Feed, next);
          depth = next;
          if (next == bottom) break;
          if (cycle_ == 83) go(MotionType::Rapid, rLevel);
          else go(MotionType::Rapid, depth - down * retract);
        }
        go(MotionType::Rapid, back);
        break;
      }
      case 74:
      case 84:
        go(MotionType::Feed, bottom);
        Dwell(cycleP_);
        go(MotionType::Feed, rLevel);
        go(MotionType::Rapid, back);
        break;
      case 85:
      case 89:
        go(MotionType::Feed, bottom);
        if (cycle_ == 89) Dwell(cycleP_);
        go(MotionType::Feed, rLevel);
        go(MotionType::Rapid, back);
        break;
      default:  // 76, 81, 82, 86, 88
        go(MotionType::Feed, bottom);
        if (cycle_ == 82 || cycle_ == 88) Dwell(cycleP_);
        go(MotionType::Rapid, back);
        break;
    }
  }
}

}  // namespace

// ---------------------------------------------------------------- API

std::vector<std::string_view> SplitProgramLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  lines.reserve(bytes.size() / 24 + 1);
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c != '\n' && c != '\r') continue;
    lines.push_back(bytes.substr(start, i - start));
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

const char* PlaneName(Plane plane) {
  switch (plane) {
    case Plane::XY: return "G17";
    case Plane::ZX: return "G18";
    case Plane::YZ: return "G19";
  }
  return "G17";
}

Result Run(std::span<const std::string_view> lines, const Settings& settings) {
  return Run(ProgramLines(lines), settings);
}

Result Run(const ProgramLines& lines, const Settings& settings) {
  Result result;
  result.motions.reserve(lines.size());
  Interpreter interpreter(lines, settings, result);
  interpreter.Execute();
  MeasureMotions(result.motions, settings.rapidRate, result.statistics);
  return result;
}

}  // namespace vostrel::toolpath
