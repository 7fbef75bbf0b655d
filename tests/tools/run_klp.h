// Runs the klp command in this process, as from its command line, and keeps what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "host/commands.h"

namespace klp::test {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

inline Outcome Klp(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  Outcome run;
  run.status = klp::tools::Main(args, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

}  // namespace klp::test
