// A HelperProcess that runs no process: it answers from a script in memory, so that the
// Presenter reading it can be driven by a fuzzer. Linked instead of helper_process.cpp.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace klp::fuzz {

struct HelperScript {
  bool startFails = false;
  std::string says;                // what the helper says; "$S" is the serial of the request
  std::vector<std::size_t> reads;  // how much of it each read returns, in turn (then all)
  std::vector<std::string> heard;  // the lines the plug-in sent
  std::string serial = "0";        // of the last menu or dialog the plug-in sent
  int starts = 0;
};

// The script the next helper started plays; reset it before each run.
HelperScript& Script();

}  // namespace klp::fuzz
