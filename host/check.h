// `klp check`: reads a project file with the plug-in's own reader and reports, with the line and
// a fix, every place where the file will not play as its author most likely meant: a "HotSpot"
// count or key-frame count that makes the reader take the wrong lines, section headers read as
// data, a late [Global] section, names that do not match, shapes that are never hit, key frames
// out of order, values the reader silently changes. With a movie, also frames beyond its end and
// hot spots outside its picture.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "host/movie_probe.h"

namespace klp::tools {

enum class Severity { kWarning, kError };

struct Diagnostic {
  int64_t line = 0;  // 0: the file as a whole
  Severity severity = Severity::kWarning;
  std::string code;  // the check's stable name, e.g. "swallowed-header"
  std::string message;
  std::string hint;  // how to fix it
};

struct CheckReport {
  std::string path;
  std::vector<Diagnostic> diagnostics;  // in line order, the file's own first
  int Errors() const;
  int Warnings() const;
};

// Checks the project file at path, and against movie when given.
CheckReport CheckProject(const std::string& path, const MovieInfo* movie = nullptr);

// 0 clean, 1 warnings only, 2 errors (an unreadable file is an error).
int ExitStatus(const CheckReport& report);

// "path:line: error: message" and "path:line: note: hint" lines, then a count line.
std::string FormatText(const CheckReport& report);
// The report as one JSON object.
std::string FormatJson(const CheckReport& report, const MovieInfo* movie);

// The subcommand: klp check PROJECT.klp [--movie FILE] [--json].
int RunCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace klp::tools
