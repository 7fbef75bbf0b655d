// `klp edit MOVIE [PROJECT.klp]`: serves the editor for one project (see server.h), prints its
// address and opens it with `klp view --engine chromium` unless --no-open. Runs until the
// browser is closed, or until interrupted.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace klp::tools {

// Exit codes beyond 0 (ended) and 2 (usage).
inline constexpr int kEditNoFile = 3;      // no movie, or no folder for the project
inline constexpr int kEditNoPage = 4;      // the editor's page or the web runtime is missing
inline constexpr int kEditNoServer = 1;    // could not listen

// The project a movie is edited in when none is named: the movie's path with ".klp".
std::string DefaultProjectPath(const std::string& movie);

int RunEdit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace klp::tools
