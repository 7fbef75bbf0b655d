// What the editor page asks of the C++ side, so that it never handles the file format itself:
// a project file's text read into records (as JSON), records written back as text with the
// opened file's comments kept, the lint's diagnostics tied to the records they are about, and a
// hot spot's outline at a frame as the overlay draws it. Compiled into the editing module of the
// web build (web_exports.cpp) and tested natively.
//
// The page builds the records it holds with Clear and the Add calls, in list order, then asks
// for Write, Lint or AnchorAt; Open replaces them with a file's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "player/anchor_geometry.h"
#include "project/project_info.h"
#include "project/project_writer.h"

namespace klp::editing {

class Session {
 public:
  Session();
  ~Session();

  // Reads text as a project file and keeps its layout (comments, unknown "Global" keys) for
  // Write. {"ok":true,"records":{...}} or {"ok":false,"error":"..."}; see RecordsJson.
  std::string Open(std::string_view text);
  // Forgets the opened file's layout: the next Write makes a fresh file.
  void Forget();

  void Clear(std::string_view version, std::string_view source);
  void AddMarker(std::string_view name, int32_t frame);
  void AddEvent(std::string_view name, int32_t frame, std::string_view kind,
                std::string_view params);
  void AddHotSpot(std::string_view name, std::string_view link, std::string_view shape,
                  int32_t start, int32_t end);
  // A key frame of the hot spot added last; nothing when there is none.
  void AddKeyFrame(int32_t frame, int32_t left, int32_t top, int32_t right, int32_t bottom);
  void AddLink(std::string_view name, std::string_view kind, std::string_view seekParam,
               std::string_view playerParam, std::string_view url, std::string_view urlTarget,
               std::string_view extra);
  void AddEffect(std::string_view name, int32_t frameColor, int32_t highlightColor,
                 int32_t lineWidth, int32_t visibility);

  // The records as a file: {"ok":true,"text":"..."} or {"ok":false,"errors":["...",...]}.
  // Playable refuses also what `klp check` warns of (WriteCheck::kPlayable).
  std::string Write(bool playable) const;

  // The diagnostics of `klp check` for the records as Write would save them, against a movie of
  // frames frames (< 0: unknown) and width x height pixels (0: unknown, and then the movie's
  // length is not checked either):
  // {"errors":N,"warnings":N,"diagnostics":[{"line","severity","code","message","hint",
  //  "item":{"list":"hotSpots"|"markers"|"events"|"links"|"effects","index","frame"}|null}]}.
  // Records that cannot be written at all are reported as errors of code "not-written".
  std::string Lint(int64_t frames, int32_t width, int32_t height) const;

  // Hot spot index's outline at frame in video pixels: bit 1 when the overlay draws it there,
  // bit 2 when a click there hits it (its span, and a shape that is hit); 0 when neither or no
  // such hot spot. *rect is the rectangle whenever it has key frames.
  int AnchorAt(int index, int32_t frame, anchors::Rect* rect) const;

  const CProjectInfo& project() const { return *project_; }

 private:
  std::unique_ptr<CProjectInfo> project_;
  std::unique_ptr<FileLayout> layout_;  // of the file opened last; null: none
};

// The records of project as the JSON object Open returns under "records".
std::string RecordsJson(const CProjectInfo& project);

}  // namespace klp::editing
