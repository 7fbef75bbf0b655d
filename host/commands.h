// The klp program: a table of subcommands, each a handler given its arguments and the two
// output streams. A new subcommand is one more row.
#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace klp::tools {

using CommandHandler = int (*)(const std::vector<std::string>& args, std::ostream& out,
                               std::ostream& err);

struct Command {
  std::string_view name;
  std::string_view summary;  // one line for the program's help
  CommandHandler run;
};

std::span<const Command> Commands();

// klp COMMAND ARGS...: args are the program's arguments without its name. Returns the exit
// status.
int Main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace klp::tools
