// `klp check`: the project linter (lint/) as a command, with the movie probed from a file.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "host/movie_probe.h"
#include "lint/lint.h"

namespace klp::tools {

using Severity = lint::Severity;
using Diagnostic = lint::Diagnostic;
using CheckReport = lint::Report;
using lint::ExitStatus;
using lint::FormatText;

// Checks the project file at path, and against movie when given.
CheckReport CheckProject(const std::string& path, const MovieInfo* movie = nullptr);

// The report as one JSON object.
std::string FormatJson(const CheckReport& report, const MovieInfo* movie);

// The subcommand: klp check PROJECT.klp [--movie FILE] [--json].
int RunCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace klp::tools
