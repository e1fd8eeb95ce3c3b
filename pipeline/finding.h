#pragma once
// A finding of a run as a record: the place in the source the user wrote,
// how grave it is, and what the run log said about it.

#include <cstdint>
#include <string>

namespace vostrel {

enum class Severity {
  Error,    // the output is not to be trusted (or the run stopped)
  Warning,  // worth a look; the output is as the source asks
  Note,     // the other place of a finding (the first of two definitions)
};

struct Finding {
  Severity severity = Severity::Error;
  std::string file;          // UTF-8 path; empty: the source of the run
  std::int32_t line = 0;     // 1-based line of `file`; 0: no line
  std::int32_t column = 0;   // 1-based, a double-byte character counting as one; 0: none
  std::string stage;         // the log name of the stage that found it
  std::string message;       // UTF-8, as the run log (or the stop message) says it
  std::string word;          // UTF-8, the word or name concerned; may be empty
  std::int64_t logLine = -1; // 0-based run log line it belongs to; -1: none
};

}  // namespace vostrel
