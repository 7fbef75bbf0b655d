// Movie container headers built byte by byte for the header reader's tests: MP4
// boxes, EBML elements of WebM/Matroska, and RIFF chunks of AVI, with the
// fields the reader looks at.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace movie_bytes {

inline std::string Be(uint64_t v, int n) {
  std::string s;
  for (int i = n - 1; i >= 0; --i)
    s += char(i < 8 ? v >> (8 * i) : 0);
  return s;
}
inline std::string Le32(uint32_t v) {
  return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

inline std::string Box(const std::string &type, const std::string &body) {
  return Be(8 + body.size(), 4) + type + body;
}
inline std::string LargeBox(const std::string &type, const std::string &body) {
  return Be(1, 4) + type + Be(16 + body.size(), 8) + body;
}
inline std::string Trak(const std::string &handler, uint32_t timescale,
                        const std::string &stts, int mdhdVersion = 0) {
  // Version 1 has 64-bit times and duration.
  const std::string mdhd = Be(mdhdVersion << 24, 4) +
                           Be(0, mdhdVersion == 1 ? 16 : 8) + Be(timescale, 4) +
                           Be(0, mdhdVersion == 1 ? 12 : 8);
  return Box("trak",
             Box("mdia", Box("mdhd", mdhd) +
                             Box("hdlr", Be(0, 8) + handler + Be(0, 12)) +
                             Box("minf", Box("stbl", Box("stts", stts)))));
}
// stts: (count, delta) entries.
inline std::string Stts(std::vector<std::pair<uint32_t, uint32_t>> entries) {
  std::string s = Be(0, 4) + Be(entries.size(), 4);
  for (auto [count, delta] : entries)
    s += Be(count, 4) + Be(delta, 4);
  return s;
}
inline std::string Mp4(const std::string &moovBody) {
  return Box("ftyp", "isom" + Be(0, 4)) + Box("mdat", "xyz") +
         Box("moov", moovBody);
}

// EBML: id as its bytes; the size in one byte when it fits, else in eight.
inline std::string El(const std::string &id, const std::string &body) {
  return id +
         (body.size() < 127 ? Be(0x80 | body.size(), 1)
                            : Be(0x01, 1) + Be(body.size(), 7)) +
         body;
}
inline const std::string kUnknown = "\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF";
inline const std::string kTimestamp0("\xE7\x81\x00",
                                     3); // a cluster's first child
inline const std::string kEbml = "\x1A\x45\xDF\xA3",
                         kSegment = "\x18\x53\x80\x67",
                         kInfo = "\x15\x49\xA9\x66",
                         kTracks = "\x16\x54\xAE\x6B",
                         kCluster = "\x1F\x43\xB6\x75";
inline std::string Header(const std::string &docType = "webm") {
  return El(kEbml, El("\x42\x82", docType));
}
inline std::string Info(double durationMs) {
  uint64_t bits;
  std::memcpy(&bits, &durationMs, 8);
  return El(kInfo,
            El("\x2A\xD7\xB1", Be(1000000, 3)) + El("\x44\x89", Be(bits, 8)));
}
inline std::string Track(int type, uint64_t defaultDuration) {
  return El(
      "\xAE",
      El("\x83", Be(type, 1)) +
          (defaultDuration ? El("\x23\xE3\x83", Be(defaultDuration, 4)) : ""));
}
inline std::string Webm(const std::string &segmentBody) {
  return Header() + El(kSegment, segmentBody);
}

inline std::string Chunk(const std::string &id, const std::string &body) {
  return id + Le32(body.size()) + body +
         (body.size() % 2 ? std::string(1, '\0') : "");
}
inline std::string Avih(uint32_t usPerFrame, uint32_t frames) {
  return Chunk("avih", Le32(usPerFrame) + Le32(0) + Le32(0) + Le32(0) +
                           Le32(frames) + Le32(0) + std::string(32, '\0'));
}
inline std::string Strl(const std::string &type, uint32_t scale, uint32_t rate,
                        uint32_t length) {
  return Chunk("LIST", "strl" + Chunk("strh", type + std::string(16, '\0') +
                                                  Le32(scale) + Le32(rate) +
                                                  Le32(0) + Le32(length) +
                                                  std::string(20, '\0')));
}
inline std::string Avi(const std::string &hdrlBody) {
  const std::string body = "AVI " + Chunk("LIST", "hdrl" + hdrlBody) +
                           Chunk("LIST", "movi" + Chunk("00dc", "jpg"));
  return "RIFF" + Le32(body.size()) + body;
}

// Small whole movies of each container that the reader reads.
inline std::vector<std::string> Seeds() {
  const std::string video = Trak("vide", 30000, Stts({{30, 1001}}));
  return {
      Box("ftyp", "isom" + Be(0, 4)) + Box("moov", Box("mvhd", "") + video) +
          Box("mdat", "xyz"),
      Box("ftyp", "qt  ") + LargeBox("mdat", "data") + LargeBox("moov", video),
      Header() + kSegment + kUnknown + El(kTracks, Track(1, 40000000)) +
          El(kCluster, kTimestamp0),
      Header("matroska") +
          El(kSegment,
             Info(1000) + El(kTracks, Track(2, 0) + Track(1, 41708333))),
      Avi(Avih(40000, 50) + Strl("vids", 1, 25, 50)),
  };
}

} // namespace movie_bytes
