#include <algorithm>
#include <array>

#include "lint/linter.h"
#include "lint/text.h"
#include "project/fields.h"

namespace klp::lint {

void Linter::CheckEffects() {
  std::map<std::string, int64_t> seen;
  for (std::size_t i = 0; i < project_.effects.size(); ++i) {
    const int64_t line = LineAt(trace_.effectLines, i);
    if (Misread(line)) continue;
    const CEffectInfo& effect = *project_.effects[i];
    const auto fields = SplitFields(TextOf(line), ':', true);
    const std::string what = "effect " + Quoted(effect.name);
    if (fields.size() < 5) {
      static constexpr std::array<const char*, 4> kMissing = {
          "frame colour 0 (black)", "line width 0", "highlight colour 0 (black)",
          "visibility 0 (hidden)"};
      std::string missing;
      for (std::size_t f = std::max<std::size_t>(fields.size(), 1); f < 5; ++f) {
        missing += (missing.empty() ? "" : ", ") + std::string(kMissing[f - 1]);
      }
      Warn(line, "effect-values", what + " leaves values out, and they are 0: " + missing,
           "write name:frame colour:line width:highlight colour:visibility, e.g. "
           "door:FF00:2:FFFF:1");
    }
    if (fields.size() > 1) CheckHex(line, what + ": frame colour", fields[1], effect.frameColor);
    if (fields.size() > 2) {
      CheckNumber(line, what + ": line width", fields[2], effect.lineWidth, false);
    }
    if (fields.size() > 3) {
      CheckHex(line, what + ": highlight colour", fields[3], effect.highlightColor);
    }
    if (fields.size() > 4) {
      CheckNumber(line, what + ": visibility", fields[4], effect.visibility, false);
      if (effect.visibility != 0 && effect.visibility != 1) {
        Warn(line, "effect-values",
             what + ": visibility " + std::to_string(effect.visibility) +
                 " neither shows nor hides the anchor",
             "use 1 (shown) or 0 (hidden)");
      }
    }
    if (project_.FindHotSpot(effect.name, -1, nullptr) < 0) {
      std::string hint = "name it exactly as its hot spot: names match byte for byte";
      if (const CHotSpotInfo* near = NearHotSpot(effect.name)) {
        hint = "write " + Quoted(near->name) +
               ": names match byte for byte, quotes, blanks and letter case included";
      }
      Warn(line, "effect-unmatched", what + " belongs to no hot spot: no hot spot has its name",
           hint);
    } else {
      const auto [first, inserted] = seen.emplace(effect.name, line);
      if (!inserted) {
        Warn(line, "effect-duplicate",
             "a second " + what + " is never used: the first, at line " +
                 std::to_string(first->second) + ", applies",
             "keep one effect per hot spot");
      }
    }
  }
}

const CHotSpotInfo* Linter::NearHotSpot(std::string_view name) const {
  const auto bare = [](std::string_view text) {
    return TrimBlanks(RemoveQuotePair(TrimBlanks(text)));
  };
  for (const auto& spot : project_.hotSpots) {
    if (EqualsIgnoreCase(bare(spot->name), bare(name))) return spot.get();
  }
  return nullptr;
}

}  // namespace klp::lint
