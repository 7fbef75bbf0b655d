// The rules' shared state and the rules themselves, one file per group: layout.cpp (how lines
// are taken), global.cpp, markers_events.cpp, hotspots.cpp, effects.cpp, movie.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "lint/lint.h"
#include "player/anchor_geometry.h"

namespace klp::lint {

// Digits 0-9 only, at least one.
bool AllDigits(std::string_view text);
// value in upper-case hexadecimal digits, without leading zeros.
std::string Hex(int32_t value);
// "1 hot spot", "2 hot spots".
std::string Plural(std::size_t n, std::string_view one, std::string_view many);
// "(left,top)-(right,bottom)".
std::string RectText(const anchors::Rect& r);

class Linter {
 public:
  Linter(const TracedProject& read, const Movie* movie, Report& report)
      : read_(read), project_(read.project), trace_(read.trace), movie_(movie), report_(report) {}

  void Run();

 private:
  void Add(int64_t line, Severity severity, std::string code, std::string message,
           std::string hint);
  void Warn(int64_t line, std::string code, std::string message, std::string hint);
  void Error(int64_t line, std::string code, std::string message, std::string hint);
  bool Misread(int64_t line) const;
  bool HotSpotMisread(std::size_t i) const;
  const std::string& TextOf(int64_t line) const;
  // A number field that the reader reads as something else than it says.
  void CheckNumber(int64_t line, const std::string& what, std::string_view field, int32_t value,
                   bool sign);
  void CheckHex(int64_t line, const std::string& what, std::string_view field, int32_t value);
  // A name written in double quotes keeps them.
  void CheckQuotedName(int64_t line, const std::string& what, const std::string& name,
                       const std::string& receiver);

  // layout.cpp
  // Where the profile reader finds the "Global" section and its keys (first section of the
  // name, first line of each key), for pointing at them.
  void LocateGlobal();
  int64_t GlobalKeyLine(const std::string& lowerKey) const;
  // How each line was taken: headers read as data, a late [Global], lines dropped or ignored.
  // After a misread, the lines up to the next section header are misread with it; they get no
  // further diagnostics of their own.
  void WalkLines();
  // A record, hot-spot header or key-frame line that is not what it looks like; true when the
  // reader misreads it (and so, most likely, the lines after it).
  bool ReportMisread(const TracedLine& line, const TracedLine* previous);

  // global.cpp
  void CheckGlobal();
  void CheckHotSpotCount();

  // markers_events.cpp
  void CheckMarkers();
  void CheckEvents();

  // hotspots.cpp
  void CheckHotSpots();
  // False when the header is read so far from what it says that nothing else about the hot
  // spot is worth telling.
  bool CheckHotSpotHeader(int64_t line, const std::string& text, const CHotSpotInfo& spot,
                          const std::string& what);
  void CheckKeyFrames(std::size_t index, const CHotSpotInfo& spot, const std::string& what);

  // effects.cpp
  void CheckEffects();
  // A hot spot whose name equals name once quotes and blanks are taken off and case ignored.
  const CHotSpotInfo* NearHotSpot(std::string_view name) const;

  // movie.cpp
  void CheckAgainstMovie();
  void CheckPicture(std::size_t index, const CHotSpotInfo& spot);
  // Whether any pixel of the picture lies in the shape.
  static bool PictureMeetsShape(const anchors::Rect& rect, int32_t shape, int32_t width,
                                int32_t height);

  const TracedProject& read_;
  const CProjectInfo& project_;
  const ReadTrace& trace_;
  const Movie* movie_;
  Report& report_;
  std::vector<bool> misread_;  // by line number
  bool cascadeSeen_ = false;
  int64_t globalLine_ = 0;
  std::map<std::string, int64_t> globalKeys_;  // lower-case key -> line
};

}  // namespace klp::lint
