#include "host/check.h"

#include <optional>
#include <ostream>

#include "host/args.h"
#include "lint/text.h"

namespace klp::tools {
namespace {

constexpr std::string_view kHelp =
    "usage: klp check PROJECT.klp [--movie FILE] [--json]\n"
    "\n"
    "Reads a project file as the plug-in reads it and reports what will not play as written,\n"
    "one diagnostic a line:\n"
    "  PROJECT.klp:LINE: error: ...    the file is read other than it looks (what plays changes)\n"
    "  PROJECT.klp:LINE: warning: ...  something is lost, never used or never reached\n"
    "  PROJECT.klp:LINE: note: ...     how to fix the diagnostic above\n"
    "Diagnostics go to standard error.\n"
    "\n"
    "options:\n"
    "  --movie FILE  also check frames against the movie's end and hot spots against its\n"
    "                picture: a real movie, or a movie fixture of the test backend\n"
    "                (lines frames=, fps=, width=, height=)\n"
    "  --json        print the report as one JSON object on standard output\n"
    "  -h, --help    show this help\n"
    "\n"
    "exit status: 0 clean, 1 warnings only, 2 errors or the project cannot be read\n";

lint::Movie LintMovie(const MovieInfo& movie) { return {movie.frames, movie.width, movie.height}; }

}  // namespace

CheckReport CheckProject(const std::string& path, const MovieInfo* movie) {
  if (movie == nullptr) return lint::LintFile(path);
  const lint::Movie shape = LintMovie(*movie);
  return lint::LintFile(path, &shape);
}

std::string FormatJson(const CheckReport& report, const MovieInfo* movie) {
  lint::JsonWriter json;
  json.BeginObject().Key("file").String(report.path).Key("movie");
  if (movie != nullptr) {
    json.BeginObject().Key("path").String(movie->path).Key("probe").String(movie->probe);
    json.Key("frames");
    movie->frames ? json.Number(*movie->frames) : json.Null();
    json.Key("fps").Real(movie->fps).Key("width").Number(movie->width);
    json.Key("height").Number(movie->height).EndObject();
  } else {
    json.Null();
  }
  json.Key("errors").Number(report.Errors()).Key("warnings").Number(report.Warnings());
  json.Key("diagnostics").BeginArray();
  for (const Diagnostic& d : report.diagnostics) {
    json.BeginObject().Key("line");
    d.line > 0 ? json.Number(d.line) : json.Null();
    json.Key("severity").String(lint::SeverityName(d.severity)).Key("code").String(d.code);
    json.Key("message").String(d.message).Key("hint").String(d.hint).EndObject();
  }
  json.EndArray().EndObject();
  return json.str() + "\n";
}

int RunCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const Args parsed = ParseArgs(args, {"--movie"}, {"--json"});
  if (parsed.help) {
    out << kHelp;
    return 0;
  }
  std::string usage = parsed.error;
  if (usage.empty() && parsed.positional.size() != 1) {
    usage = parsed.positional.empty() ? "no project file given" : "give one project file";
  }
  if (!usage.empty()) {
    err << "klp check: " << usage << "\nusage: klp check PROJECT.klp [--movie FILE] [--json]\n";
    return 2;
  }
  std::optional<MovieInfo> movie;
  if (const auto given = parsed.values.find("--movie"); given != parsed.values.end()) {
    std::string why;
    movie = ProbeMovie(given->second, &why);
    if (!movie) {
      err << "klp check: cannot read the movie " << given->second << ": " << why << "\n";
      return 2;
    }
  }
  const CheckReport report = CheckProject(parsed.positional[0], movie ? &*movie : nullptr);
  if (parsed.flags.count("--json") != 0) {
    out << FormatJson(report, movie ? &*movie : nullptr);
  } else {
    err << FormatText(report);
  }
  return ExitStatus(report);
}

}  // namespace klp::tools
