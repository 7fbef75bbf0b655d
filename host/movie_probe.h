// What `klp check --movie` needs to know of a movie: how long it is in frames and how large its
// picture is. Two probes: the simulated movie fixtures of the test backend (always), and real
// media through GStreamer when the tool is built with it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace klp::tools {

struct MovieInfo {
  std::string path;
  std::string probe;              // which probe read it: "fixture" or "gstreamer"
  std::optional<int64_t> frames;  // the end of the time line: frames 0 .. frames; unknown: none
  double fps = 0;                 // 0 when unknown
  int32_t width = 0;              // picture size in pixels; 0 x 0 without a video stream
  int32_t height = 0;
};

class MovieProbe {
 public:
  virtual ~MovieProbe() = default;
  virtual std::string_view Name() const = 0;
  // The movie at path, or nothing with the reason in *error.
  virtual std::optional<MovieInfo> Probe(const std::string& path, std::string* error) = 0;
};

// Reads a movie fixture (frames=, fps=, width=, height=, novideo ...): a small text file.
std::unique_ptr<MovieProbe> MakeFixtureProbe();
// Reads real media with GStreamer's discoverer; null when built without GStreamer.
std::unique_ptr<MovieProbe> MakeMediaProbe();

// The fixture probe first (a fixture is plain text that no media file is), then real media.
std::optional<MovieInfo> ProbeMovie(const std::string& path, std::string* error);

}  // namespace klp::tools
