// The project linter: reads a project file with the plug-in's own reader and reports, with the
// line and a fix, every place where the file will not play as its author most likely meant: a
// "HotSpot" count or key-frame count that makes the reader take the wrong lines, section headers
// read as data, a late [Global] section, names that do not match, shapes that are never hit, key
// frames out of order, values the reader silently changes. Given the movie's length and picture
// size, also frames beyond its end and hot spots outside its picture. `klp check` prints its
// report; the editor lists the same diagnostics.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lint/read_trace.h"

namespace klp::lint {

enum class Severity { kWarning, kError };

struct Diagnostic {
  int64_t line = 0;  // 0: the file as a whole
  Severity severity = Severity::kWarning;
  std::string code;  // the rule's stable name, e.g. "swallowed-header"
  std::string message;
  std::string hint;  // how to fix it
};

struct Report {
  std::string path;
  std::vector<Diagnostic> diagnostics;  // in line order, the file's own first
  int Errors() const;
  int Warnings() const;
};

// What the rules need to know of the movie.
struct Movie {
  std::optional<int64_t> frames;  // the end of the time line: frames 0 .. frames; unknown: none
  int32_t width = 0;              // picture size in pixels; 0 x 0 without a video stream
  int32_t height = 0;
};

// Lints a project already read through ReadTraced; report.path is left empty.
Report Lint(const TracedProject& read, const Movie* movie = nullptr);
// Reads and lints the project file at path.
Report LintFile(const std::string& path, const Movie* movie = nullptr);

// 0 clean, 1 warnings only, 2 errors (an unreadable file is an error).
int ExitStatus(const Report& report);

// "error" or "warning".
const char* SeverityName(Severity severity);

// "path:line: error: message" and "path:line: note: hint" lines, then a count line.
std::string FormatText(const Report& report);

}  // namespace klp::lint
