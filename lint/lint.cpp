#include "lint/lint.h"

#include <algorithm>

#include "lint/linter.h"

namespace klp::lint {

void Linter::Run() {
  if (!read_.opened) {
    Add(0, Severity::kError, "unreadable", "cannot open the project file: " + read_.openError,
        "check the path and the file's permissions");
    return;
  }
  if (read_.result != 0 || !trace_.global) {
    Add(0, Severity::kError, "unreadable", "the project file cannot be read",
        "check that it is a readable text file");
    return;
  }
  misread_.assign(trace_.lines.empty() ? 1 : trace_.lines.back().number + 1, false);
  LocateGlobal();
  CheckGlobal();
  WalkLines();
  CheckHotSpotCount();
  CheckMarkers();
  CheckEvents();
  CheckHotSpots();
  CheckEffects();
  if (movie_ != nullptr) CheckAgainstMovie();
  std::stable_sort(report_.diagnostics.begin(), report_.diagnostics.end(),
                   [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
}

int Report::Errors() const {
  return static_cast<int>(std::count_if(diagnostics.begin(), diagnostics.end(), [](const auto& d) {
    return d.severity == Severity::kError;
  }));
}

int Report::Warnings() const { return static_cast<int>(diagnostics.size()) - Errors(); }

Report Lint(const TracedProject& read, const Movie* movie) {
  Report report;
  Linter(read, movie, report).Run();
  return report;
}

Report LintFile(const std::string& path, const Movie* movie) {
  Report report = Lint(*ReadTraced(path), movie);
  report.path = path;
  return report;
}

int ExitStatus(const Report& report) {
  if (report.Errors() > 0) return 2;
  return report.Warnings() > 0 ? 1 : 0;
}

const char* SeverityName(Severity severity) {
  return severity == Severity::kError ? "error" : "warning";
}

std::string FormatText(const Report& report) {
  std::string out;
  for (const Diagnostic& d : report.diagnostics) {
    const std::string where =
        report.path + (d.line > 0 ? ":" + std::to_string(d.line) : std::string()) + ": ";
    out += where + SeverityName(d.severity) + ": " + d.message + "\n";
    if (!d.hint.empty()) out += where + "note: " + d.hint + "\n";
  }
  if (!report.diagnostics.empty()) {
    out += report.path + ": " + Plural(report.Errors(), "error", "errors") + ", " +
           Plural(report.Warnings(), "warning", "warnings") + "\n";
  }
  return out;
}

}  // namespace klp::lint
