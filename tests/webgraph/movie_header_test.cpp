#include "platform/webgraph/movie_header.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/webgraph/movie_bytes.h"

namespace {

using webgraph::MovieTiming;

using namespace movie_bytes;

// "num/den frames", or "refused".
std::string Format(bool ok, const MovieTiming& t) {
  return !ok ? "refused"
             : std::to_string(t.frameNum) + "/" + std::to_string(t.frameDen) + " " +
                   std::to_string(t.frames);
}
std::string Timing(const std::string& bytes) {
  // A buffer of exactly this size, so that the sanitizers see any read past its end.
  const std::vector<uint8_t> exact(bytes.begin(), bytes.end());
  MovieTiming t;
  return Format(webgraph::ReadMovieTiming(exact.data(), exact.size(), &t), t);
}

// ---- MP4 ----

const std::string kVideoTrak = Trak("vide", 30000, Stts({{1, 3003}, {28, 1001}, {1, 2002}}));

TEST(MovieHeaderMp4, RateFromMostCommonDeltaOfFirstVideoTrack) {
  const std::string sound = Trak("soun", 48000, Stts({{100, 1024}}));
  EXPECT_EQ(Timing(Mp4(Box("mvhd", "") + sound + kVideoTrak)), "30000/1001 30");
  EXPECT_EQ(Timing(Mp4(Trak("vide", 12800, Stts({{29, 512}, {1, 256}}), 1))), "25/1 30");
  // A QuickTime handler names its component type before the handler type.
  std::string mov = Mp4(kVideoTrak);
  mov.replace(mov.find("hdlr") + 8, 4, "mhlr");
  EXPECT_EQ(Timing(mov), "30000/1001 30");
  EXPECT_EQ(Timing(Mp4(Trak("vide", 1000, Stts({{5, 1}})))), "1000/1 5");
  EXPECT_EQ(Timing(Mp4(Trak("vide", 1, Stts({{5, 1000}})))), "1/1000 5");
}

TEST(MovieHeaderMp4, BoxSizes) {
  const std::string ftyp = Box("ftyp", "isom");
  EXPECT_EQ(Timing(ftyp + LargeBox("mdat", "data") + LargeBox("moov", kVideoTrak)),
            "30000/1001 30");
  // Size 0: to the end of the file, or of the parent box.
  EXPECT_EQ(Timing(ftyp + Be(0, 4) + "moov" + Be(0, 4) + "trak" + kVideoTrak.substr(8)),
            "30000/1001 30");
  EXPECT_EQ(Timing(ftyp + Be(0, 4) + "mdat" + Box("moov", kVideoTrak)), "refused");
  EXPECT_EQ(Timing(ftyp + Be(1, 4) + "moov" + Be(8, 8) + kVideoTrak), "refused");
  EXPECT_EQ(Timing(ftyp + Be(1, 4) + "mdat" + Be(~0ull, 8) + Box("moov", kVideoTrak)), "refused");
  EXPECT_EQ(Timing(ftyp + Be(0xFFFFFFF0, 4) + "moov" + kVideoTrak), "refused");
  EXPECT_EQ(Timing(ftyp + Be(4, 4) + "moov" + kVideoTrak), "refused");
  // Every cut of a movie whose moov comes last loses the moov.
  const std::string movie = Mp4(kVideoTrak);
  for (size_t n = 0; n < movie.size(); ++n) EXPECT_EQ(Timing(movie.substr(0, n)), "refused") << n;
}

TEST(MovieHeaderMp4, Refused) {
  for (const std::string& trak : {
           Trak("soun", 48000, Stts({{100, 1024}})),
           Trak("vide", 0, Stts({{30, 512}})),
           Trak("vide", 12800, Stts({})),
           Trak("vide", 12800, Stts({{30, 0}})),
           Trak("vide", 2000, Stts({{30, 1}})),
           Trak("vide", 1, Stts({{30, 1001}})),
           Trak("vide", 12800, Be(0, 4) + Be(1000, 4) + Be(30, 4) + Be(512, 4)),  // count > box
           Trak("vide", 12800, Stts({{30, 512}}), 2),  // unknown mdhd version
           // The first video track decides even when a later one would do.
           Trak("vide", 0, Stts({{30, 512}})) + kVideoTrak,
       }) {
    EXPECT_EQ(Timing(Mp4(trak)), "refused");
  }
  std::string nested = kVideoTrak;
  for (int i = 0; i < 2000; ++i) nested = Box(i % 2 ? "trak" : "moov", nested);
  EXPECT_EQ(Timing(Mp4(nested)), "refused");
  EXPECT_EQ(Timing(""), "refused");
  EXPECT_EQ(Timing("no movie at all"), "refused");
  MovieTiming t;
  EXPECT_FALSE(webgraph::ReadMovieTiming(nullptr, 0, &t));
  const std::vector<uint8_t> movie(kVideoTrak.begin(), kVideoTrak.end());
  EXPECT_FALSE(webgraph::ReadMovieTiming(movie.data(), movie.size(), nullptr));
}

// ---- WebM ----

TEST(MovieHeaderWebm, RateFromDefaultDuration) {
  const std::string info = Info(1001);
  EXPECT_EQ(Timing(Webm(info + El(kTracks, Track(2, 0) + Track(1, 33366667)))), "30000/1001 30");
  EXPECT_EQ(Timing(Webm(info + El(kTracks, Track(1, 33366666)))), "30000/1001 30");
  EXPECT_EQ(Timing(Webm(El(kTracks, Track(1, 41708333)))), "24000/1001 -1");
  EXPECT_EQ(Timing(Webm(El(kTracks, Track(1, 33333333)))), "30/1 -1");
  EXPECT_EQ(Timing(Webm(El(kTracks, Track(1, 80000000)))), "25/2 -1");
  EXPECT_EQ(Timing(Webm(El(kTracks, Track(1, 12345678)))), "500000000/6172839 -1");
  EXPECT_EQ(Timing(Header("matroska") + El(kSegment, Info(1200) + El(kTracks, Track(1, 40000000)))),
            "25/1 30");
  // Unknown sizes: the segment's, and the first cluster's after the tracks.
  EXPECT_EQ(Timing(Header() + kSegment + kUnknown + info + El(kTracks, Track(1, 40000000)) +
                   kCluster + kUnknown + kTimestamp0),
            "25/1 25");
  // An unknown-size track entry runs to the end of the tracks; no DocType means matroska.
  EXPECT_EQ(Timing(El(kEbml, "") +
                   El(kSegment, El(kTracks, "\xAE" + kUnknown + Track(1, 40000000).substr(2)))),
            "25/1 -1");
  // A cluster of known size before the tracks is passed over.
  EXPECT_EQ(Timing(Webm(El(kCluster, kTimestamp0) + El(kTracks, Track(1, 40000000)))), "25/1 -1");
}

TEST(MovieHeaderWebm, Refused) {
  const std::string tracks = El(kTracks, Track(1, 40000000));
  for (const std::string& bytes : {
           Webm(El(kTracks, Track(1, 0))),  // no DefaultDuration
           Webm(El(kTracks, Track(2, 40000000))),
           Webm(El(kTracks, Track(1, 1))),
           Header("mkv3d") + El(kSegment, tracks),
           Header() + kSegment + kUnknown + kCluster + kUnknown + tracks,
           kEbml + kUnknown + Webm(tracks),
           Header() + kSegment + std::string(1, '\0') + tracks,
           Webm(kTracks + std::string("\x01\x00\xFF\xFF\xFF\xFF\xFF\xFF", 8) + Track(1, 40000000)),
       }) {
    EXPECT_EQ(Timing(bytes), "refused");
  }
  // Cuts before the end of the tracks fail; the segment's size may claim more than there is.
  const std::string movie = Webm(Info(1200) + tracks + El(kCluster, "abc"));
  const size_t tracksEnd = movie.find(kCluster);
  for (size_t n = 0; n < movie.size(); ++n) {
    EXPECT_EQ(Timing(movie.substr(0, n)), n < tracksEnd ? "refused" : "25/1 30") << n;
  }
}

// ---- AVI ----

TEST(MovieHeaderAvi, RateFromVideoStreamHeader) {
  const std::string auds = Strl("auds", 1, 44100, 44100);
  EXPECT_EQ(Timing(Avi(Avih(40000, 20) + auds + Strl("vids", 1001, 30000, 30))), "30000/1001 30");
  // The main header's frame time, when the stream's rate is none.
  EXPECT_EQ(Timing(Avi(Avih(40000, 20) + Strl("vids", 0, 0, 0))), "25/1 20");
  EXPECT_EQ(Timing(Avi(Avih(33367, 0) + Strl("vids", 1, 0, 30))), "30000/1001 30");
  EXPECT_EQ(Timing(Avi(Avih(40000, 20) + Strl("vids", 1, 25, 0) +
                       Chunk("LIST", "odml" + Chunk("dmlh", Le32(5000))))),
            "25/1 5000");
  // A zero RIFF size, as an unfinished file has, is read to the end of the bytes.
  std::string unfinished = Avi(Strl("vids", 1, 24, 48));
  unfinished.replace(4, 4, Le32(0));
  EXPECT_EQ(Timing(unfinished), "24/1 48");
}

TEST(MovieHeaderAvi, Refused) {
  const std::string movi = Chunk("LIST", "movi"),
                    hdrl = Chunk("LIST", "hdrl" + Strl("vids", 1, 25, 1));
  for (const std::string& bytes : {
           Avi(Avih(40000, 20) + Strl("auds", 1, 44100, 44100)),
           Avi(Avih(0, 20) + Strl("vids", 0, 25, 20)),
           Avi(Avih(40000, 20) + "LIST" + Le32(5000) + "strl"),
           "RIFF" + Le32(4 + movi.size() + hdrl.size()) + "AVI " + movi + hdrl,
           "RIFF" + Le32(4 + hdrl.size()) + "WAVE" + hdrl,
       }) {
    EXPECT_EQ(Timing(bytes), "refused");
  }
}

// ---- files ----

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "klp_movie_XXXXXX").string();
    if (mkdtemp(pattern.data())) dir_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

std::string FileTiming(const std::string& path) {
  MovieTiming t;
  return Format(webgraph::ReadMovieTimingFromFile(path.c_str(), &t), t);
}

TEST(MovieHeaderFile, SeeksPastMediaToTheHeader) {
  TempDir dir;
  // 5 GiB of media (a sparse file) before the moov: offsets past 32 bits, none of it read.
  const uint64_t mediaSize = 5ull << 30;
  const std::string path = dir.Path("big.mp4");
  std::ofstream(path, std::ios::binary)
      << Box("ftyp", "isom") + Be(1, 4) + "mdat" + Be(mediaSize, 8);
  std::filesystem::resize_file(path, 12 + mediaSize);
  std::ofstream(path, std::ios::binary | std::ios::app) << Box("moov", kVideoTrak);
  EXPECT_EQ(FileTiming(path), "30000/1001 30");
  EXPECT_EQ(FileTiming(dir.Path("missing.mp4")), "refused");
  EXPECT_EQ(FileTiming(dir.Path("")), "refused");  // a directory
  MovieTiming t;
  EXPECT_FALSE(webgraph::ReadMovieTimingFromFile(nullptr, &t));
}

// ---- movies made by GStreamer ----

TEST(MovieHeaderMade, EveryContainer) {
  if (std::system("gst-launch-1.0 --version > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "gst-launch-1.0 is not installed";
  }
  const auto video = [](const char* rate) {
    return std::string("videotestsrc num-buffers=30 ! video/x-raw,framerate=") + rate +
           ",width=64,height=48 ! ";
  };
  struct Made {
    std::string name, pipeline, timing;
    bool fromStart;  // the first 4 KiB give the timing
  };
  const Made movies[] = {
      {"end.mp4", video("25/1") + "x264enc ! mp4mux", "25/1 30", false},
      {"start.mp4", video("25/1") + "x264enc ! mp4mux faststart=true", "25/1 30", true},
      {"ntsc.mp4", video("30000/1001") + "x264enc ! mp4mux faststart=true", "30000/1001 30", true},
      {"24.mov", video("24/1") + "x264enc ! qtmux", "24/1 30", false},
      {"25.webm", video("25/1") + "vp8enc ! webmmux", "25/1 30", true},
      {"ntsc.webm", video("30000/1001") + "vp8enc ! webmmux", "30000/1001 30", true},
      {"live.webm", video("24/1") + "vp8enc ! webmmux streamable=true", "24/1 -1", true},
      {"24.mkv", video("24/1") + "x264enc ! matroskamux", "24/1 30", true},
      {"sound.webm", "audiotestsrc num-buffers=200 ! opusenc ! webmmux", "refused", true},
      {"25.avi", video("25/1") + "jpegenc ! avimux", "25/1 30", true},
      {"ntsc.avi", video("30000/1001") + "jpegenc ! avimux", "30000/1001 30", true},
      {"sound.avi", "audiotestsrc num-buffers=30 ! avimux", "refused", true},
  };
  TempDir dir;
  std::string script;
  for (const Made& m : movies) {
    script +=
        "gst-launch-1.0 -q " + m.pipeline + " ! filesink location=" + dir.Path(m.name) + " & ";
  }
  ASSERT_EQ(std::system((script + "wait").c_str()), 0);
  for (const Made& m : movies) {
    std::ifstream in(dir.Path(m.name), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(bytes.size(), 4096u) << "not made: " << m.pipeline;
    EXPECT_EQ(Timing(bytes), m.timing) << m.name;
    EXPECT_EQ(FileTiming(dir.Path(m.name)), m.timing) << m.name;
    EXPECT_EQ(Timing(bytes.substr(0, 4096)), m.fromStart ? m.timing : "refused") << m.name;
  }
}

}  // namespace
