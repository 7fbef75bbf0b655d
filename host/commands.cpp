#include "host/commands.h"

#include <algorithm>
#include <array>
#include <ostream>

#include "host/check.h"
#ifdef KLP_HAVE_EDIT
#include "host/edit/edit.h"
#endif
#include "host/info.h"
#ifdef KLP_HAVE_VIEW
#include "host/view/view.h"
#endif

namespace klp::tools {
namespace {

#ifdef KLP_HAVE_VIEW
// The viewer prints the page's console output and its own messages itself.
int RunView(const std::vector<std::string>& args, std::ostream& out, std::ostream&) {
  out.flush();
  return klpview::RunViewCommand(args);
}
#endif

constexpr std::array kCommands = {
    Command{"check", "report what in a project file will not play as written", RunCheck},
    Command{"info", "show what a project file holds", RunInfo},
#ifdef KLP_HAVE_EDIT
    Command{"edit", "edit a project's hot spots, markers and events over its movie", RunEdit},
#endif
#ifdef KLP_HAVE_VIEW
    Command{"view", "open a page or project in a browser engine (plug-in or klp.js)", RunView},
#endif
};

void Usage(std::ostream& out) {
  out << "usage: klp COMMAND [ARGS...]\n\ncommands:\n";
  for (const Command& command : kCommands) {
    out << "  " << command.name
        << std::string(8 - std::min<std::size_t>(command.name.size(), 7), ' ') << command.summary
        << "\n";
  }
  out << "\n'klp COMMAND --help' describes a command.\n";
}

}  // namespace

std::span<const Command> Commands() { return kCommands; }

int Main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    Usage(err);
    return 2;
  }
  if (args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
    Usage(out);
    return 0;
  }
  for (const Command& command : kCommands) {
    if (command.name == args[0]) {
      return command.run(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
    }
  }
  err << "klp: unknown command " << args[0] << "\n";
  Usage(err);
  return 2;
}

}  // namespace klp::tools
