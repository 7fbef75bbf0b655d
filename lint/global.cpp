#include "lint/linter.h"

namespace klp::lint {

void Linter::CheckGlobal() {
  const GlobalValues& global = *trace_.global;
  if (global.source == "*") {
    std::string why = "[Global] has no Source key";
    if (globalLine_ == 0) why = "the file has no [Global] section";
    if (globalKeys_.count("source") != 0) why = "Source is \"*\"";
    Error(GlobalKeyLine("source"), "no-source",
          why + ": the movie name is \"*\", and no movie of that name will open",
          "name the movie file in [Global]: Source=movie.mpg");
  } else if (global.source.empty()) {
    Error(GlobalKeyLine("source"), "no-source", "Source is empty: no movie is requested",
          "name the movie file in [Global]: Source=movie.mpg");
  }
}

void Linter::CheckHotSpotCount() {
  const int32_t declared = trace_.global->hotSpots;
  const std::size_t read = project_.hotSpots.size();
  if (declared <= 0 || cascadeSeen_ || read == static_cast<std::size_t>(declared)) return;
  Warn(GlobalKeyLine("hotspot"), "hotspot-count",
       "HotSpot=" + std::to_string(declared) + " in [Global], but the file has " +
           Plural(read, "hot spot", "hot spots") +
           "; the count is how many blocks are read in a row, so a wrong one can take the "
           "next section header as a hot spot",
       "set HotSpot=" + std::to_string(read));
}

}  // namespace klp::lint
