// `klp info`: what the plug-in makes of a project file, read with its own reader: the movie, the
// counts, each hot spot with its life and key frames, markers and events in the order they fire,
// links and effects; or every record as JSON.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "lint/read_trace.h"

namespace klp::tools {

using lint::TracedProject;

// The readable summary of a read project.
std::string InfoText(const TracedProject& read);
// Every record of a read project, with its line, as one JSON object.
std::string InfoJson(const TracedProject& read);

// The subcommand: klp info PROJECT.klp [--json].
int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace klp::tools
