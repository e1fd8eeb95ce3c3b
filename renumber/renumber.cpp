// Renumbering in four passes: read every line once (its kind, its number,
// its jumps and calls); look up the numbers the jumps name; count the
// numbers the targets get; write the lines with their new numbers.

#include "renumber/renumber.h"

#include <algorithm>
#include <unordered_map>

#include "renumber/block_reader.h"

namespace vostrel::renumber {

namespace {

enum LineFlag : std::uint8_t {
  kBlock = 1,        // a block (not blank, `%` or an O-number line)
  kNumbered = 2,     // it has a sequence number
  kToolChange = 4,
  kMarker = 8,       // blank, `%` or an O-number line
  kTarget = 16,      // a jump names it
  kNoWord = 32,      // `%` or an O-number line: an N word would change what it is
};

// A program of the file and its sequence number, as one key.
std::uint64_t LabelKey(std::int32_t region, std::int64_t number) {
  return (static_cast<std::uint64_t>(region) << 40) ^ (static_cast<std::uint64_t>(number) & ((1ull << 40) - 1));
}

struct Jump {
  std::int32_t line;    // 0-based
  std::int32_t region;  // the program it stands in
  Reference reference;
  std::vector<std::uint64_t> labels;  // the blocks it may go to (one per calling program for M99)
  bool followed = false;              // its new number is known
  bool doubtful = false;              // a finding stands against it
  std::int64_t newValue = 0;
};

struct Label {
  std::int32_t line = -1;  // the first block with the number
  std::int32_t count = 0;
  std::int64_t newNumber = -1;
};

bool GetsNumber(std::uint8_t flags, const Options& options) {
  switch (options.blocks) {
    case BlockChoice::Numbered: return flags & kNumbered;
    case BlockChoice::All: return (flags & kBlock) || (!options.skipMarkerLines && (flags & kMarker));
    case BlockChoice::Targets: return flags & (kTarget | kToolChange);
  }
  return false;
}

std::string Padded(std::int64_t number, int width) {
  std::string digits = std::to_string(number);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
  return digits;
}

struct Edit {
  std::uint32_t at, length;
  std::string text;
};

// The line with its edits, into `out` (reused from line to line).
void Apply(std::string_view line, std::vector<Edit>& edits, std::string& out) {
  std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.at < b.at; });
  out.clear();
  std::size_t from = 0;
  for (const Edit& e : edits) {
    out.append(line.substr(from, e.at - from)).append(e.text);
    from = e.at + e.length;
  }
  out.append(line.substr(from));
}

class Renumbering {
 public:
  Renumbering(const TextLines& program, const Options& options, Outcome& outcome)
      : program_(program), options_(options), outcome_(outcome) {}

  void Run() {
    ReadLines();
    ResolveTargets();
    CountNumbers();
    for (const LineFinding& f : outcome_.findings)
      if (f.severity == Severity::Error) outcome_.refused = !options_.force;
    std::stable_sort(outcome_.findings.begin(), outcome_.findings.end(),
                     [](const LineFinding& a, const LineFinding& b) { return a.line < b.line; });
    for (const Jump& jump : jumps_)
      if (jump.doubtful && options_.force) outcome_.doubtfulJumps.push_back(jump.line + 1);
    if (!outcome_.refused) WriteLines();
  }

 private:
  void Report(Severity severity, std::int32_t line, std::string message) {
    outcome_.findings.push_back({severity, line + 1, std::move(message)});
  }

  // Pass 1: the kind of every line, the programs, the jumps and the calls.
  void ReadLines() {
    flags_.resize(program_.size());
    regionStarts_.push_back(0);
    std::unordered_map<std::int64_t, std::int32_t> programRegion;
    std::vector<std::pair<std::int32_t, std::int64_t>> calls;
    LineRead read;
    for (std::size_t i = 0; i < program_.size(); ++i) {
      reader_.Read(program_[i], read);
      const auto line = static_cast<std::int32_t>(i);
      if (read.kind == LineKind::ProgramStart) {
        if (i != 0) regionStarts_.push_back(line);
        programRegion.try_emplace(read.program, Region());
      }
      // A block that would swallow a new N word (one that starts with a
      // digit) keeps the number it has, or none.
      std::uint8_t f = read.kind != LineKind::Block ? kMarker : read.takesNumber || read.hasNumber ? kBlock : 0;
      if (read.kind == LineKind::Percent || read.kind == LineKind::ProgramStart) f |= kNoWord;
      if (read.hasNumber) f |= kNumbered;
      if (read.toolChange) f |= kToolChange;
      flags_[i] = f;
      if (read.kind == LineKind::Block && mainRegion_ < 0) mainRegion_ = Region();
      for (Reference& r : read.references) {
        if (r.kind == ReferenceKind::Call) {
          if (!r.computed) calls.emplace_back(Region(), r.value);
        } else {
          jumps_.push_back({line, Region(), std::move(r), {}});
        }
      }
    }
    for (const auto& [caller, number] : calls) {
      const auto it = programRegion.find(number);
      if (it == programRegion.end()) continue;
      std::vector<std::int32_t>& callers = callers_[it->second];
      if (std::find(callers.begin(), callers.end(), caller) == callers.end()) callers.push_back(caller);
    }
  }

  std::int32_t Region() const { return static_cast<std::int32_t>(regionStarts_.size()) - 1; }

  // Pass 2: the block each jump names, looked up among the numbered lines.
  void ResolveTargets() {
    std::unordered_map<std::uint64_t, Label> labels;
    for (Jump& jump : jumps_) {
      const Reference& r = jump.reference;
      if (r.computed) {
        Report(Severity::Error, jump.line, "飛び先 " + r.text + " は計算で決まるため、振り直した番号に合わせられません");
        jump.doubtful = true;
        continue;
      }
      if (r.kind == ReferenceKind::Return) {
        const auto callers = callers_.find(jump.region);
        if (callers != callers_.end()) {
          for (const std::int32_t caller : callers->second) jump.labels.push_back(LabelKey(caller, r.value));
        } else if (jump.region == mainRegion_) {
          jump.labels.push_back(LabelKey(jump.region, r.value));
        } else {
          Report(Severity::Note, jump.line,
                 r.text + ": 呼び出し元のプログラムがこのファイルにないため、そのままにします");
          continue;
        }
      } else {
        jump.labels.push_back(LabelKey(jump.region, r.value));
      }
      for (const std::uint64_t key : jump.labels) labels.try_emplace(key);
    }
    if (labels.empty()) return;

    LineRead read;
    std::int32_t region = 0;
    for (std::size_t i = 0; i < program_.size(); ++i) {
      while (region + 1 < static_cast<std::int32_t>(regionStarts_.size()) &&
             regionStarts_[static_cast<std::size_t>(region) + 1] <= static_cast<std::int32_t>(i))
        ++region;
      if (!(flags_[i] & kNumbered)) continue;
      reader_.ReadNumber(program_[i], read);
      const auto it = labels.find(LabelKey(region, read.number));
      if (it == labels.end()) continue;
      if (it->second.count++ == 0) it->second.line = static_cast<std::int32_t>(i);
    }

    for (Jump& jump : jumps_) {
      for (const std::uint64_t key : jump.labels) {
        const Label& label = labels[key];
        const std::string n = "N" + std::to_string(jump.reference.value);
        if (label.count == 0) {
          Report(Severity::Error, jump.line, "飛び先 " + jump.reference.text + " の " + n + " がありません");
          jump.doubtful = true;
          continue;
        }
        flags_[static_cast<std::size_t>(label.line)] |= kTarget;
        targetLines_.try_emplace(label.line, -1);
        if (label.count > 1) {
          Report(Severity::Error, jump.line,
                 "飛び先 " + jump.reference.text + " の " + n + " が " + std::to_string(label.count) +
                     " ブロックにあります (" + std::to_string(label.line + 1) + "行目のブロックに合わせます)");
          jump.doubtful = true;
        }
      }
    }
    labelLines_.reserve(labels.size());
    for (const auto& [key, label] : labels) labelLines_.emplace(key, label.line);
  }

  // Pass 3: the new numbers of the targets, and so the jumps' new values.
  void CountNumbers() {
    std::size_t nextRegion = 1;
    std::int64_t number = options_.start;
    bool overflowReported = false;
    for (std::size_t i = 0; i < flags_.size(); ++i) {
      if (nextRegion < regionStarts_.size() && regionStarts_[nextRegion] == static_cast<std::int32_t>(i)) {
        ++nextRegion;
        number = options_.start;
      }
      if (!GetsNumber(flags_[i], options_)) continue;
      if (!(flags_[i] & kNoWord)) ++outcome_.numberedBlocks;
      if (number > 99999 && !overflowReported) {
        Report(Severity::Warning, static_cast<std::int32_t>(i),
               "N" + std::to_string(number) + ": シーケンス番号が 5 桁を超えます");
        overflowReported = true;
      }
      if (flags_[i] & kTarget) targetLines_[static_cast<std::int32_t>(i)] = number;
      number += options_.step;
    }
    for (Jump& jump : jumps_) {
      if (jump.labels.empty()) continue;
      std::int64_t value = -1;
      bool agree = true, found = false;
      for (const std::uint64_t key : jump.labels) {
        const std::int32_t line = labelLines_[key];
        if (line < 0) continue;
        const std::int64_t v = targetLines_[line];
        if (found && v != value) agree = false;
        value = v;
        found = true;
      }
      if (!agree) {
        Report(Severity::Error, jump.line,
               jump.reference.text + ": 呼び出し元ごとに N" + std::to_string(jump.reference.value) +
                   " の新しい番号が違います");
        jump.doubtful = true;
        continue;
      }
      if (!found || (jump.doubtful && !options_.force)) continue;
      jump.followed = true;
      jump.newValue = value;
      ++outcome_.jumpsFollowed;
    }
  }

  // Pass 4: the lines with their new numbers.
  void WriteLines() {
    const std::size_t count = options_.outputLines < 0
                                  ? program_.size()
                                  : std::min(program_.size(), static_cast<std::size_t>(options_.outputLines));
    outcome_.lines.reserve(count, program_.text_bytes() / std::max<std::size_t>(program_.size(), 1) * count + count * 4);
    std::size_t nextRegion = 1, nextJump = 0;
    std::int64_t number = options_.start;
    LineRead read;
    std::vector<Edit> edits;
    std::string edited;
    for (std::size_t i = 0; i < count; ++i) {
      if (nextRegion < regionStarts_.size() && regionStarts_[nextRegion] == static_cast<std::int32_t>(i)) {
        ++nextRegion;
        number = options_.start;
      }
      const std::string_view line = program_[i];
      edits.clear();
      const bool gets = GetsNumber(flags_[i], options_);
      if (gets && (flags_[i] & kNoWord)) {
        number += options_.step;  // its place in the count, and no N word
      } else if (gets || (flags_[i] & kNumbered)) {
        reader_.ReadNumber(line, read);
        if (gets && read.hasNumber) {
          edits.push_back({read.digitsAt, read.digitsLength, Padded(number, options_.width)});
        } else if (gets) {
          edits.push_back({read.insertAt, 0, "N" + Padded(number, options_.width)});
        } else if (read.hasNumber) {
          edits.push_back({read.letterAt, read.digitsAt + read.digitsLength - read.letterAt, {}});
        }
        if (gets) number += options_.step;
      }
      for (; nextJump < jumps_.size() && jumps_[nextJump].line == static_cast<std::int32_t>(i); ++nextJump) {
        const Jump& jump = jumps_[nextJump];
        if (jump.followed) edits.push_back({jump.reference.at, jump.reference.length, std::to_string(jump.newValue)});
      }
      if (edits.empty()) {
        outcome_.lines.push_back(line);
      } else {
        Apply(line, edits, edited);
        outcome_.lines.push_back(edited);
      }
    }
  }

  const TextLines& program_;
  const Options& options_;
  Outcome& outcome_;
  BlockReader reader_;
  std::vector<std::uint8_t> flags_;
  std::vector<std::int32_t> regionStarts_;  // the first line of each program (0 for the lines before the first)
  std::int32_t mainRegion_ = -1;            // the program where execution starts
  std::unordered_map<std::int32_t, std::vector<std::int32_t>> callers_;  // program -> the programs calling it
  std::vector<Jump> jumps_;
  std::unordered_map<std::uint64_t, std::int32_t> labelLines_;  // named label -> its line (-1: none)
  std::unordered_map<std::int32_t, std::int64_t> targetLines_;  // target line -> its new number
};

}  // namespace

std::string_view BlockChoiceName(BlockChoice choice) {
  switch (choice) {
    case BlockChoice::Numbered: return "numbered";
    case BlockChoice::All: return "all";
    case BlockChoice::Targets: return "targets";
  }
  return "numbered";
}

bool ParseBlockChoice(std::string_view name, BlockChoice& choice) {
  for (const BlockChoice c : {BlockChoice::Numbered, BlockChoice::All, BlockChoice::Targets})
    if (BlockChoiceName(c) == name) {
      choice = c;
      return true;
    }
  return false;
}

Outcome Renumber(const TextLines& program, const Options& options) {
  Outcome outcome;
  Renumbering(program, options, outcome).Run();
  return outcome;
}

std::vector<std::string> ReportLines(const Outcome& outcome) {
  std::vector<std::string> lines{"番号振り直し -- 開始"};
  for (const LineFinding& f : outcome.findings) lines.push_back(std::to_string(f.line) + "行目 " + f.message);
  if (outcome.refused) {
    lines.push_back("飛び先を追えないため、番号を振り直しませんでした");
    lines.push_back("番号振り直し -- 中止");
  } else {
    for (const std::int32_t line : outcome.doubtfulJumps)
      lines.push_back(std::to_string(line) + "行目 の飛び先は正しくないかもしれません");
    lines.push_back("番号を振ったﾌﾞﾛｯｸ = " + std::to_string(outcome.numberedBlocks) + "件");
    lines.push_back("書き換えた飛び先 = " + std::to_string(outcome.jumpsFollowed) + "件");
    lines.push_back("番号振り直し -- 完了");
  }
  lines.emplace_back();
  return lines;
}

}  // namespace vostrel::renumber
