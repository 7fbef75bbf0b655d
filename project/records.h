// The records of a project: events, markers, hot spots with their key frames, links and effects.
//
// Each record is filled by its Parse from one record line of its section of the project file;
// Parse is meant for a newly made record and first resets the fields it fills. Fields the line
// leaves out are empty or 0; characters outside a numeric field's filter are dropped. Names are
// kept exactly as written (quotes included) and are compared byte for byte by the lookups.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A named frame at which the page is told (OnKLEvent). Only name and frame are used in play; the
// action fields are kept as read.
// Line: name ":" frame ":" kind ":" parameters, with quoting.
class CEventInfo {
 public:
  virtual ~CEventInfo() = default;
  void Parse(std::string_view line);

  std::string name;
  int32_t frame = 0;
  std::string kind;  // "URL" and "TAC" select how params is split
  std::string params;
  std::string url;        // kind "URL": first part of params, one pair of quotes removed
  std::string urlTarget;  // kind "URL": second part, one pair of quotes removed
  std::string tacParam1;  // kind "TAC": first three parts of params, as written
  std::string tacParam2;
  std::string tacParam3;
};

// A named frame that the page is told of (OnMarker) and to which a script can jump.
// Line: name ":" frame, without quoting.
class CMarkerInfo {
 public:
  virtual ~CMarkerInfo() = default;
  void Parse(std::string_view line);

  std::string name;
  int32_t frame = 0;
};

// The rectangle of a hot spot at one frame, in pixels of the movie picture, inclusive. Five
// contiguous 32-bit integers, the layout handed to the anchor overlay.
struct KeyFrame {
  int32_t frame = 0;
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// A region of the picture over a range of frames (an anchor in play), moved and resized by key
// frames. Header line: a delimiter, name ":" link name ":" shape ":" start "-" end ":" count, a
// delimiter, without quoting. Key-frame line: frame ":" left "," top "," right "," bottom.
class CHotSpotInfo {
 public:
  virtual ~CHotSpotInfo() = default;
  // Reads the header line; keyFrameCount becomes the count it gives, keyFrames is emptied.
  void Parse(std::string_view line);
  // Appends one key frame per line, then sets keyFrameCount to the number of key frames.
  void ParseKeyFrames(const std::vector<std::string>& lines);
  // The same a line at a time: AddKeyFrame for each, then CountKeyFrames.
  void AddKeyFrame(std::string_view line);
  void CountKeyFrames();

  std::string name;
  std::string linkName;
  std::string shape;  // "R"/"r" rectangle, "C"/"c" ellipse; anything else is never hit
  int32_t startFrame = 0;
  int32_t endFrame = 0;  // inclusive
  int32_t keyFrameCount = 0;
  std::vector<KeyFrame> keyFrames;  // file order, expected ascending by frame; not sorted
};

// A named link action; kept, never acted on.
// Line: name ":" kind ":" parameter ":" extra, with quoting.
class CLinkInfo {
 public:
  virtual ~CLinkInfo() = default;
  void Parse(std::string_view line);

  std::string name;
  std::string kind = "NONE";  // "URL", "SEEK", "PLAYER"; "NONE" until parsed
  std::string seekParam;      // kind "SEEK": the parameter as written
  std::string playerParam;    // kind "PLAYER": the parameter, one pair of quotes removed
  std::string url;            // kind "URL": first part, one pair of quotes removed
  std::string urlTarget;      // kind "URL": second part, one pair of quotes removed
  std::string extra;
};

// How the anchor of the hot spot of the same name is drawn.
// Line: name ":" frame colour ":" line width ":" highlight colour ":" visibility, with quoting;
// colours hexadecimal. Parse sets all four numbers to 0 first.
class CEffectInfo {
 public:
  virtual ~CEffectInfo() = default;
  void Parse(std::string_view line);

  std::string name;
  int32_t frameColor = 0xFF;
  int32_t highlightColor = 0xFF0000;
  int32_t lineWidth = 3;
  int32_t visibility = 1;  // 1 shown, 0 hidden, other values leave the overlay's setting
};
