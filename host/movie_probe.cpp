#include "host/movie_probe.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/sim/sim_graph.h"

namespace klp::tools {
namespace {

constexpr std::size_t kMaxFixtureSize = 64 * 1024;

class FixtureProbe final : public MovieProbe {
 public:
  std::string_view Name() const override { return "fixture"; }

  std::optional<MovieInfo> Probe(const std::string& path, std::string* error) override {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      *error = std::strerror(errno);
      return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
      text.append(buffer, static_cast<std::size_t>(in.gcount()));
      if (text.size() > kMaxFixtureSize) {
        *error = "too large for a movie fixture";
        return std::nullopt;
      }
    }
    if (in.bad()) {
      *error = "cannot be read";
      return std::nullopt;
    }
    if (text.find('\0') != std::string::npos) {
      *error = "not a movie fixture";
      return std::nullopt;
    }
    std::string why;
    const std::optional<sim::Movie> movie = sim::ParseMovie(text, &why);
    if (!movie) {
      *error = "not a movie fixture (" + why + ")";
      return std::nullopt;
    }
    if (!movie->renderable) {
      *error = "the movie fixture cannot be rendered";
      return std::nullopt;
    }
    MovieInfo info;
    info.path = path;
    info.probe = "fixture";
    info.frames = movie->frames;
    info.fps = movie->fps;
    if (movie->video) {
      info.width = movie->width;
      info.height = movie->height;
    }
    return info;
  }
};

}  // namespace

std::unique_ptr<MovieProbe> MakeFixtureProbe() { return std::make_unique<FixtureProbe>(); }

#ifndef KLP_HAVE_GST_PROBE
std::unique_ptr<MovieProbe> MakeMediaProbe() { return nullptr; }
#endif

std::optional<MovieInfo> ProbeMovie(const std::string& path, std::string* error) {
  std::string fixtureError;
  if (auto movie = MakeFixtureProbe()->Probe(path, &fixtureError)) return movie;
  {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      *error = fixtureError;  // cannot be opened: no probe will do better
      return std::nullopt;
    }
  }
  auto media = MakeMediaProbe();
  if (!media) {
    *error = fixtureError + "; this klp is built without GStreamer, so real media cannot be read";
    return std::nullopt;
  }
  return media->Probe(path, error);
}

}  // namespace klp::tools
