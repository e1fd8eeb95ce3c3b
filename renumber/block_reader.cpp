#include "renumber/block_reader.h"

#include "toolpath/expression.h"

namespace vostrel::renumber {

namespace {

bool IsLetter(char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// An O number (or `:` number) at the start of the stored line, spaces
// before it allowed: the lines where a program begins.
bool ProgramNumberAt(std::string_view line, std::int64_t& number) {
  std::size_t p = 0;
  while (p < line.size() && IsBlank(line[p])) ++p;
  if (p >= line.size() || !(line[p] == 'O' || line[p] == 'o' || line[p] == ':')) return false;
  ++p;
  while (p < line.size() && line[p] == ' ') ++p;
  if (p >= line.size() || !IsDigit(line[p])) return false;
  number = 0;
  for (std::size_t digits = 0; p < line.size() && IsDigit(line[p]); ++p)
    if (++digits <= 12) number = number * 10 + (line[p] - '0');
  return true;
}

// The literal value of a word, when it is a plain number.
bool PlainNumber(std::string_view text, std::size_t begin, std::size_t end, std::int64_t& value) {
  if (begin >= end) return false;
  std::size_t p = begin;
  double d = 0;
  bool point = false;
  if (!toolpath::ParseNumber(text, p, d, point) || p != end) return false;
  value = toolpath::RoundToInteger(d);
  return true;
}

}  // namespace

// Upper case, no spaces, no remarks, up to a ';'; each byte remembers
// where it stood.
void BlockReader::Normalize(std::string_view line) {
  text_.clear();
  at_.clear();
  lineLength_ = static_cast<std::uint32_t>(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c == '(') {
      const std::size_t close = line.find(')', i + 1);
      if (close == std::string_view::npos) break;
      i = close;
    } else if (c == ';') {
      break;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
    } else if (IsLeadByte(c) && i + 1 < line.size()) {
      text_.push_back(static_cast<char>(c));
      at_.push_back(static_cast<std::uint32_t>(i));
      text_.push_back(line[++i]);
      at_.push_back(static_cast<std::uint32_t>(i));
    } else {
      text_.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : static_cast<char>(c));
      at_.push_back(static_cast<std::uint32_t>(i));
    }
  }
}

std::size_t BlockReader::SequenceNumber(std::string_view line, LineRead& out) {
  out = LineRead{};
  if (ProgramNumberAt(line, out.program)) {
    out.kind = LineKind::ProgramStart;
    return text_.size();
  }
  if (text_.empty()) return 0;  // Blank
  if (text_[0] == '%') {
    out.kind = LineKind::Percent;
    return text_.size();
  }
  out.kind = LineKind::Block;
  std::size_t p = 0;
  while (p < line.size() && IsBlank(line[p])) ++p;
  if (p < line.size() && line[p] == '/')
    for (++p; p < line.size() && IsDigit(line[p]);) ++p;
  out.insertAt = static_cast<std::uint32_t>(p);

  std::size_t pos = 0;
  if (text_[0] == '/')
    for (pos = 1; pos < text_.size() && IsDigit(text_[pos]);) ++pos;
  out.takesNumber = pos < text_.size() && (IsLetter(text_[pos]) || text_[pos] == '#');
  if (pos + 1 < text_.size() && text_[pos] == 'N' && IsDigit(text_[pos + 1])) {
    const std::size_t first = pos + 1;
    std::size_t end = first;
    std::int64_t number = 0;
    for (std::size_t digits = 0; end < text_.size() && IsDigit(text_[end]); ++end)
      if (++digits <= 12) number = number * 10 + (text_[end] - '0');
    out.hasNumber = true;
    out.number = number;
    out.letterAt = at_[pos];
    out.digitsAt = at_[first];
    out.digitsLength = at_[end - 1] + 1 - at_[first];
    pos = end;
    // A fraction of a sequence number is read past, as the control does.
    if (pos < text_.size() && text_[pos] == '.')
      for (++pos; pos < text_.size() && IsDigit(text_[pos]);) ++pos;
  }
  return pos;
}

void BlockReader::ReadNumber(std::string_view line, LineRead& out) {
  Normalize(line);
  SequenceNumber(line, out);
}

void BlockReader::Read(std::string_view line, LineRead& out) {
  Normalize(line);
  const std::size_t pos = SequenceNumber(line, out);
  if (out.kind == LineKind::Block) Statement(pos, out);
}

void BlockReader::Statement(std::size_t pos, LineRead& out) {
  const std::string_view rest = std::string_view(text_).substr(pos);
  if (rest.empty() || rest[0] == '#') return;  // nothing, or an assignment
  if (rest.starts_with("IF[")) {
    std::size_t p = pos + 2;
    int depth = 0;
    for (; p < text_.size(); ++p) {
      if (text_[p] == '[') ++depth;
      else if (text_[p] == ']' && --depth == 0) break;
    }
    if (p >= text_.size()) return;
    const std::string_view after = std::string_view(text_).substr(p + 1);
    if (after.starts_with("GOTO")) {
      const std::size_t value = p + 5;
      out.references.push_back(Target(ReferenceKind::Goto, value, WordEnd(value), "GOTO"));
    } else if (after.starts_with("THEN")) {
      Statement(p + 5, out);
    }
    return;
  }
  if (rest.starts_with("GOTO")) {
    out.references.push_back(Target(ReferenceKind::Goto, pos + 4, WordEnd(pos + 4), "GOTO"));
    return;
  }
  if (rest.starts_with("WHILE[") || rest.starts_with("DPRNT[") || rest.starts_with("BPRNT[") ||
      rest.starts_with("POPEN") || rest.starts_with("PCLOS") ||
      ((rest.starts_with("END") || rest.starts_with("DO")) && rest.size() > 2 && IsDigit(rest.back())))
    return;
  if (rest.starts_with("G65H")) {
    // A Macro A call: H80 to H86 branch to the block named by P.
    std::size_t p = pos + 4;
    std::int64_t code = 0;
    if (!PlainNumber(text_, p, WordEnd(p), code)) return;
    if (code < 80 || code > 86) return;
    for (p = WordEnd(p); p < text_.size();) {
      const std::size_t end = WordEnd(p + 1);
      if (text_[p] == 'P') {
        out.references.push_back(Target(ReferenceKind::MacroBranch, p + 1, end, "P"));
        return;
      }
      p = end > p ? end : p + 1;
    }
    return;
  }
  Words(pos, out);
}

// Address words: M98 P, M99 P, M97 P, G65 P and G66 P, and the tool words.
void BlockReader::Words(std::size_t pos, LineRead& out) {
  bool call = false, subprogram = false, localCall = false, returns = false, countGiven = false, tool = false;
  std::size_t pAt = 0, pEnd = 0;
  while (pos < text_.size()) {
    const char letter = text_[pos];
    if (!IsLetter(letter)) {
      ++pos;
      continue;
    }
    const std::size_t end = WordEnd(pos + 1);
    std::int64_t value = -1;
    PlainNumber(text_, pos + 1, end, value);
    switch (letter) {
      case 'M':
        if (value == 98) subprogram = true;
        else if (value == 99) returns = true;
        else if (value == 97) localCall = true;
        else if (value == 6) tool = true;
        break;
      case 'G':
        if (value == 65 || value == 66) call = true;
        break;
      case 'P':
        if (pEnd == 0) pAt = pos + 1, pEnd = end;
        break;
      case 'L':
      case 'K':
        countGiven = true;
        break;
      case 'T':
        tool = true;
        break;
      default: break;
    }
    pos = end > pos + 1 ? end : pos + 1;
  }
  out.toolChange = tool && !call;  // a macro call's T is an argument
  if (pEnd == 0) return;
  if (returns) out.references.push_back(Target(ReferenceKind::Return, pAt, pEnd, "M99 P"));
  if (localCall) out.references.push_back(Target(ReferenceKind::LocalCall, pAt, pEnd, "M97 P"));
  if (call || subprogram) {
    Reference r = Target(ReferenceKind::Call, pAt, pEnd, "P");
    // M98 P<count 4 digits><program 4 digits> when no L or K gives the count.
    if (subprogram && !call && !countGiven && r.value > 9999) r.value %= 10000;
    out.references.push_back(std::move(r));
  }
}

// Where the value of a word that starts at `valueStart` ends: at the next
// address letter outside brackets (a function name before `[` belongs to
// the value).
std::size_t BlockReader::WordEnd(std::size_t valueStart) const {
  std::size_t p = valueStart;
  int depth = 0;
  while (p < text_.size()) {
    const char c = text_[p];
    if (c == '[') {
      ++depth;
    } else if (c == ']') {
      --depth;
    } else if (depth <= 0 && IsLetter(c)) {
      std::size_t run = p;
      while (run < text_.size() && IsLetter(text_[run])) ++run;
      if (run - p < 2 || run >= text_.size() || text_[run] != '[' ||
          !toolpath::FindFunction(std::string_view(text_).substr(p, run - p)))
        break;
      p = run;
      continue;
    }
    ++p;
  }
  return p;
}

Reference BlockReader::Target(ReferenceKind kind, std::size_t valueStart, std::size_t valueEnd,
                              std::string_view name) const {
  Reference r;
  r.kind = kind;
  r.text = std::string(name) + text_.substr(valueStart, valueEnd - valueStart);
  r.computed = !PlainNumber(text_, valueStart, valueEnd, r.value);
  if (!r.computed) {
    r.at = at_[valueStart];
    r.length = at_[valueEnd - 1] + 1 - r.at;
  }
  return r;
}

}  // namespace vostrel::renumber
