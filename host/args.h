// Command-line options of the klp subcommands: positional arguments, "--name VALUE" or
// "--name=VALUE" for options that take a value, bare flags, and "--" ending the options.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace klp::tools {

struct Args {
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;  // option -> its value
  std::set<std::string> flags;
  bool help = false;  // -h or --help
  std::string error;  // not empty: the arguments are not usable, and why
};

Args ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
               const std::set<std::string>& flagOptions);

}  // namespace klp::tools
