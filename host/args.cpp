#include "host/args.h"

namespace klp::tools {

Args ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
               const std::set<std::string>& flagOptions) {
  Args parsed;
  bool options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!options || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options = false;
    } else if (arg == "-h" || arg == "--help") {
      parsed.help = true;
    } else if (flagOptions.count(arg) != 0) {
      parsed.flags.insert(arg);
    } else {
      const std::size_t equals = arg.find('=');
      const std::string name = arg.substr(0, equals);
      if (valueOptions.count(name) == 0) {
        parsed.error = "unknown option " + arg;
      } else if (equals != std::string::npos) {
        parsed.values[name] = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        parsed.values[name] = args[++i];
      } else {
        parsed.error = "option " + name + " needs a value";
      }
    }
  }
  return parsed;
}

}  // namespace klp::tools
