#include "platform/webgraph/movie_header.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <numeric>
#include <utility>
#include <vector>

namespace webgraph {
namespace {

constexpr uint64_t kMaxFps = 1000;
// The most one header structure (an MP4 moov, an AVI hdrl, a WebM Info or Tracks) may take.
constexpr uint64_t kMaxHeaderBytes = 64u << 20;
// Top-level boxes or segment children walked before giving up on finding the header.
constexpr int kMaxSiblings = 100000;

constexpr uint32_t FourCC(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 |
         uint32_t(uint8_t(s[2])) << 8 | uint32_t(uint8_t(s[3]));
}

uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint64_t Be64(const uint8_t* p) { return uint64_t(Be32(p)) << 32 | Be32(p + 4); }
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

struct Span {
  const uint8_t* data = nullptr;
  size_t size = 0;
  Span From(size_t offset) const { return {data + offset, size - offset}; }
};

// Random access to the movie's bytes: memory as it is, or a file read piece by piece.
class Source {
 public:
  explicit Source(uint64_t size) : size_(size) {}
  virtual ~Source() = default;
  uint64_t size() const { return size_; }
  // The n bytes at offset, valid until the next Read; false unless all are there and n is within
  // the header limit.
  bool Read(uint64_t offset, uint64_t n, Span* out) {
    if (offset > size_ || n > size_ - offset || n > kMaxHeaderBytes) return false;
    return Fetch(offset, static_cast<size_t>(n), out);
  }
  // Up to max bytes at offset, fewer at the end.
  bool ReadUpTo(uint64_t offset, uint64_t max, Span* out) {
    return offset <= size_ && Read(offset, std::min(max, size_ - offset), out);
  }

 private:
  virtual bool Fetch(uint64_t offset, size_t n, Span* out) = 0;
  uint64_t size_;
};

class MemorySource : public Source {
 public:
  MemorySource(const uint8_t* data, size_t size) : Source(size), data_(data) {}

 private:
  bool Fetch(uint64_t offset, size_t n, Span* out) override {
    *out = {data_ + offset, n};
    return true;
  }
  const uint8_t* data_;
};

class FileSource : public Source {
 public:
  FileSource(std::ifstream& in, uint64_t size) : Source(size), in_(in) {}

 private:
  bool Fetch(uint64_t offset, size_t n, Span* out) override {
    buffer_.resize(n);
    in_.clear();
    if (!in_.seekg(static_cast<std::streamoff>(offset)) ||
        !in_.read(reinterpret_cast<char*>(buffer_.data()), static_cast<std::streamsize>(n))) {
      return false;
    }
    *out = {buffer_.data(), n};
    return true;
  }
  std::ifstream& in_;
  std::vector<uint8_t> buffer_;
};

// ceil(a / b) for b > 0, without overflow.
uint64_t CeilDiv(uint64_t a, uint64_t b) { return a / b + (a % b != 0); }

// Sets the rate to units/duration frames per second, reduced. False when either is zero or the
// rate is outside [1/kMaxFps, kMaxFps].
bool SetRate(uint64_t units, uint64_t duration, MovieTiming* t) {
  if (units == 0 || duration == 0) return false;
  if (CeilDiv(units, kMaxFps) > duration || CeilDiv(duration, kMaxFps) > units) return false;
  const uint64_t g = std::gcd(units, duration);
  t->frameNum = static_cast<int64_t>(units / g);
  t->frameDen = static_cast<int64_t>(duration / g);
  return true;
}

// A frame duration stored in whole units (WebM's nanoseconds, AVI's microseconds) cannot say
// 30000/1001 fps exactly. A rate of k or k*1000/1001 fps (k whole) whose frame lasts within one
// unit of the stored duration is the rate meant; otherwise the quotient as it is.
bool SetRateFromDuration(uint64_t unitsPerSecond, uint64_t duration, MovieTiming* t) {
  if (!SetRate(unitsPerSecond, duration, t)) return false;
  // Here duration <= kMaxFps * unitsPerSecond, so the products below stay far below 2^64.
  for (const uint64_t den : {uint64_t{1}, uint64_t{1001}}) {
    const uint64_t step = den == 1 ? 1 : 1000;
    const uint64_t k = (unitsPerSecond * den / step + duration / 2) / duration;
    const uint64_t num = k * step;
    if (k == 0 || k > kMaxFps + 1) continue;
    const uint64_t a = duration * num, b = unitsPerSecond * den;
    if ((a > b ? a - b : b - a) <= num && SetRate(num, den, t)) return true;
  }
  return true;
}

// ---- MP4 / QuickTime (ISO base media boxes) ----

struct BoxHeader {
  uint32_t type = 0;
  size_t length = 0;   // of the header
  uint64_t size = 0;   // of the whole box
  bool toEnd = false;  // size 0: the box runs to the end of its container
};

bool ParseBoxHeader(Span s, BoxHeader* h) {
  if (s.size < 8) return false;
  const uint32_t size32 = Be32(s.data);
  h->type = Be32(s.data + 4);
  h->length = 8;
  h->toEnd = size32 == 0;
  h->size = size32;
  if (size32 == 1) {
    if (s.size < 16) return false;
    h->length = 16;
    h->size = Be64(s.data + 8);
  }
  return h->toEnd || h->size >= h->length;
}

// The child boxes of a box body held in memory; stops at the end or at a damaged child.
class BoxReader {
 public:
  explicit BoxReader(Span s) : s_(s) {}
  bool Next(uint32_t* type, Span* body) {
    BoxHeader h;
    if (!ParseBoxHeader(s_.From(pos_), &h)) return false;
    const size_t left = s_.size - pos_;
    if (!h.toEnd && h.size > left) return false;
    const size_t size = h.toEnd ? left : static_cast<size_t>(h.size);
    *type = h.type;
    *body = {s_.data + pos_ + h.length, size - h.length};
    pos_ += size;
    return true;
  }

 private:
  Span s_;
  size_t pos_ = 0;
};

// The body of the first child of the given type.
bool FindBox(Span parent, uint32_t type, Span* body) {
  BoxReader reader(parent);
  uint32_t t;
  while (reader.Next(&t, body)) {
    if (t == type) return true;
  }
  return false;
}

enum class Track { kOther, kVideo, kDamagedVideo };

// The timing of a trak: its handler, mdhd timescale and stts sample durations.
Track ReadTrak(Span trak, MovieTiming* t) {
  Span mdia, hdlr, mdhd, minf, stbl, stts;
  if (!FindBox(trak, FourCC("mdia"), &mdia) || !FindBox(mdia, FourCC("hdlr"), &hdlr)) {
    return Track::kOther;
  }
  // Version and flags, then QuickTime's component type (zero in MP4), then the handler type.
  if (hdlr.size < 12 || Be32(hdlr.data + 8) != FourCC("vide")) return Track::kOther;
  if (!FindBox(mdia, FourCC("mdhd"), &mdhd) || !FindBox(mdia, FourCC("minf"), &minf) ||
      !FindBox(minf, FourCC("stbl"), &stbl) || !FindBox(stbl, FourCC("stts"), &stts)) {
    return Track::kDamagedVideo;
  }
  // Version 1 has 64-bit creation and modification times before the timescale.
  const size_t timescaleAt = mdhd.size >= 1 && mdhd.data[0] == 1 ? 20 : 12;
  if (mdhd.size < timescaleAt + 4 || mdhd.data[0] > 1) return Track::kDamagedVideo;
  const uint32_t timescale = Be32(mdhd.data + timescaleAt);

  if (stts.size < 8) return Track::kDamagedVideo;
  const uint32_t count = Be32(stts.data + 4);
  if (count > (stts.size - 8) / 8) return Track::kDamagedVideo;
  // (delta, samples) for every entry; the rate comes from the delta most samples have.
  std::vector<std::pair<uint32_t, uint64_t>> deltas;
  deltas.reserve(count);
  uint64_t frames = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = stts.data + 8 + size_t{8} * i;
    const uint32_t samples = Be32(entry), delta = Be32(entry + 4);
    frames += samples;
    if (samples != 0 && delta != 0) deltas.emplace_back(delta, samples);
  }
  std::sort(deltas.begin(), deltas.end());
  uint32_t best = 0;
  uint64_t bestSamples = 0;
  for (size_t i = 0; i < deltas.size();) {
    uint64_t samples = 0;
    size_t j = i;
    for (; j < deltas.size() && deltas[j].first == deltas[i].first; ++j) {
      samples += deltas[j].second;
    }
    if (samples > bestSamples) best = deltas[i].first, bestSamples = samples;
    i = j;
  }
  if (!SetRate(timescale, best, t)) return Track::kDamagedVideo;
  t->frames = static_cast<int64_t>(frames);
  return Track::kVideo;
}

// The first video trak decides, as it is the one a player shows.
bool ReadMoov(Span moov, MovieTiming* out) {
  BoxReader reader(moov);
  uint32_t type;
  Span body;
  while (reader.Next(&type, &body)) {
    if (type != FourCC("trak")) continue;
    MovieTiming t;
    switch (ReadTrak(body, &t)) {
      case Track::kOther:
        break;
      case Track::kVideo:
        *out = t;
        return true;
      case Track::kDamagedVideo:
        return false;
    }
  }
  return false;
}

bool ReadMp4(Source& src, MovieTiming* out) {
  uint64_t pos = 0;
  for (int i = 0; i < kMaxSiblings && pos < src.size(); ++i) {
    Span head;
    BoxHeader h;
    if (!src.ReadUpTo(pos, 16, &head) || !ParseBoxHeader(head, &h)) return false;
    const uint64_t left = src.size() - pos;
    const uint64_t size = h.toEnd ? left : h.size;
    if (size > left) return false;
    if (h.type == FourCC("moov")) {
      Span moov;
      return src.Read(pos + h.length, size - h.length, &moov) && ReadMoov(moov, out);
    }
    pos += size;
  }
  return false;
}

// ---- WebM / Matroska (EBML) ----

constexpr uint32_t kEbml = 0x1A45DFA3, kDocType = 0x4282, kSegment = 0x18538067, kInfo = 0x1549A966,
                   kTimestampScale = 0x2AD7B1, kDuration = 0x4489, kTracks = 0x1654AE6B,
                   kTrackEntry = 0xAE, kTrackType = 0x83, kDefaultDuration = 0x23E383,
                   kCluster = 0x1F43B675;

struct ElementHeader {
  uint32_t id = 0;
  size_t length = 0;  // of the ID and the size
  uint64_t size = 0;
  bool unknownSize = false;  // all value bits set: the element runs to the end of its parent
};

// The length of a variable-size integer from its first byte; 0 when longer than 8.
size_t VintLength(uint8_t first) {
  size_t n = 1;
  for (uint8_t mask = 0x80; mask != 0 && !(first & mask); mask >>= 1) ++n;
  return n > 8 ? 0 : n;
}

bool ParseElementHeader(Span s, ElementHeader* h) {
  if (s.size == 0) return false;
  const size_t idLength = VintLength(s.data[0]);
  if (idLength == 0 || idLength > 4 || idLength >= s.size) return false;
  h->id = 0;
  for (size_t i = 0; i < idLength; ++i) h->id = h->id << 8 | s.data[i];
  const uint8_t* p = s.data + idLength;
  const size_t sizeLength = VintLength(p[0]);
  if (sizeLength == 0 || sizeLength > s.size - idLength) return false;
  const uint8_t valueMask = uint8_t(0xFF >> sizeLength);
  h->size = p[0] & valueMask;
  h->unknownSize = h->size == valueMask;
  for (size_t i = 1; i < sizeLength; ++i) {
    h->size = h->size << 8 | p[i];
    h->unknownSize = h->unknownSize && p[i] == 0xFF;
  }
  h->length = idLength + sizeLength;
  return true;
}

// The child elements of an element body held in memory; stops at the end or at damage.
class ElementReader {
 public:
  explicit ElementReader(Span s) : s_(s) {}
  bool Next(uint32_t* id, Span* body) {
    ElementHeader h;
    if (!ParseElementHeader(s_.From(pos_), &h)) return false;
    const size_t left = s_.size - pos_ - h.length;
    if (!h.unknownSize && h.size > left) return false;
    const size_t size = h.unknownSize ? left : static_cast<size_t>(h.size);
    *id = h.id;
    *body = {s_.data + pos_ + h.length, size};
    pos_ += h.length + size;
    return true;
  }

 private:
  Span s_;
  size_t pos_ = 0;
};

bool ReadUint(Span s, uint64_t* value) {
  if (s.size > 8) return false;
  *value = 0;
  for (size_t i = 0; i < s.size; ++i) *value = *value << 8 | s.data[i];
  return true;
}

bool ReadFloat(Span s, double* value) {
  if (s.size == 4) {
    const uint32_t bits = Be32(s.data);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    *value = f;
  } else if (s.size == 8) {
    const uint64_t bits = Be64(s.data);
    std::memcpy(value, &bits, sizeof *value);
  } else {
    return false;
  }
  return true;
}

bool IsWebmDocType(Span header) {
  ElementReader reader(header);
  uint32_t id;
  Span body;
  while (reader.Next(&id, &body)) {
    if (id != kDocType) continue;
    while (body.size > 0 && body.data[body.size - 1] == 0) --body.size;  // padded strings
    const auto is = [&](const char* name) {
      return body.size == std::strlen(name) && std::memcmp(body.data, name, body.size) == 0;
    };
    return is("webm") || is("matroska");
  }
  return true;  // the default DocType is matroska
}

struct WebmInfo {
  uint64_t timestampScale = 1000000;  // ns per tick
  double duration = -1;               // ticks
};

void ReadInfo(Span info, WebmInfo* w) {
  ElementReader reader(info);
  uint32_t id;
  Span body;
  while (reader.Next(&id, &body)) {
    if (id == kTimestampScale) {
      uint64_t scale;
      if (ReadUint(body, &scale) && scale != 0) w->timestampScale = scale;
    } else if (id == kDuration) {
      ReadFloat(body, &w->duration);
    }
  }
}

// The DefaultDuration of the first video track: 0 when it has none, -1 (false) for no video.
bool ReadTracks(Span tracks, uint64_t* defaultDuration) {
  ElementReader reader(tracks);
  uint32_t id;
  Span entry;
  while (reader.Next(&id, &entry)) {
    if (id != kTrackEntry) continue;
    uint64_t type = 0, duration = 0;
    ElementReader fields(entry);
    uint32_t field;
    Span body;
    while (fields.Next(&field, &body)) {
      if (field == kTrackType && !ReadUint(body, &type)) type = 0;
      if (field == kDefaultDuration && !ReadUint(body, &duration)) duration = 0;
    }
    if (type == 1) {
      *defaultDuration = duration;
      return true;
    }
  }
  return false;
}

// The header of the element at pos, which must lie before end.
bool ReadElementHeaderAt(Source& src, uint64_t pos, uint64_t end, ElementHeader* h) {
  Span head;
  return pos < end && src.ReadUpTo(pos, std::min<uint64_t>(12, end - pos), &head) &&
         ParseElementHeader(head, h);
}

bool ReadWebm(Source& src, MovieTiming* out) {
  ElementHeader h;
  Span body;
  if (!ReadElementHeaderAt(src, 0, src.size(), &h) || h.id != kEbml || h.unknownSize ||
      !src.Read(h.length, h.size, &body) || !IsWebmDocType(body)) {
    return false;
  }
  uint64_t pos = h.length + h.size;
  for (int i = 0;; ++i) {
    if (i == kMaxSiblings || !ReadElementHeaderAt(src, pos, src.size(), &h)) return false;
    if (h.id == kSegment) break;
    if (h.unknownSize || h.size > src.size() - pos - h.length) return false;
    pos += h.length + h.size;
  }
  // The segment runs to the end of the bytes when its size is unknown or more than there is (the
  // bytes may be only the start of the file).
  pos += h.length;
  const uint64_t end = h.unknownSize ? src.size() : pos + std::min(h.size, src.size() - pos);

  WebmInfo info;
  bool haveInfo = false, haveTracks = false;
  uint64_t defaultDuration = 0;
  for (int i = 0; i < kMaxSiblings && !(haveInfo && haveTracks); ++i) {
    if (!ReadElementHeaderAt(src, pos, end, &h)) break;
    // Header elements come before the first cluster; one of unknown size cannot be skipped.
    if (h.id == kCluster && haveTracks) break;
    const uint64_t left = end - pos - h.length;
    if (h.unknownSize ? h.id != kInfo && h.id != kTracks : h.size > left) break;
    const uint64_t size = h.unknownSize ? left : h.size;
    if (h.id == kInfo && !haveInfo) {
      if (!src.Read(pos + h.length, size, &body)) break;
      ReadInfo(body, &info);
      haveInfo = true;
    } else if (h.id == kTracks && !haveTracks) {
      if (!src.Read(pos + h.length, size, &body) || !ReadTracks(body, &defaultDuration)) {
        return false;
      }
      haveTracks = true;
    }
    pos += h.length + size;
  }
  MovieTiming t;
  if (!haveTracks || !SetRateFromDuration(1000000000, defaultDuration, &t)) return false;
  // Duration is in ticks of timestampScale ns; past 2^53 frames a double no longer counts them.
  const double frames = info.duration * static_cast<double>(info.timestampScale) /
                        static_cast<double>(defaultDuration);
  if (std::isfinite(frames) && frames >= 0.5 && frames < 9007199254740992.0) {
    t.frames = std::llround(frames);
  }
  *out = t;
  return true;
}

// ---- AVI (RIFF) ----

// The chunks of a RIFF list body held in memory; stops at the end or at a damaged chunk. A
// LIST's body starts with its list type.
class ChunkReader {
 public:
  explicit ChunkReader(Span s) : s_(s) {}
  bool Next(uint32_t* id, Span* body) {
    if (s_.size - pos_ < 8) return false;
    const uint8_t* p = s_.data + pos_;
    const uint32_t size = Le32(p + 4);
    if (size > s_.size - pos_ - 8) return false;
    *id = Be32(p);
    *body = {p + 8, size};
    pos_ += 8 + size;
    if (size % 2 != 0 && pos_ < s_.size) ++pos_;  // chunks are padded to even sizes
    return true;
  }

 private:
  Span s_;
  size_t pos_ = 0;
};

bool ReadHdrl(Span hdrl, MovieTiming* out) {
  uint32_t usPerFrame = 0, avihFrames = 0, odmlFrames = 0;
  uint32_t rate = 0, scale = 0, length = 0;
  bool video = false;
  ChunkReader chunks(hdrl);
  uint32_t id;
  Span body;
  while (chunks.Next(&id, &body)) {
    if (id == FourCC("avih") && body.size >= 20) {
      usPerFrame = Le32(body.data);
      avihFrames = Le32(body.data + 16);
    }
    if (id != FourCC("LIST") || body.size < 4) continue;
    const uint32_t listType = Be32(body.data);
    ChunkReader inner(body.From(4));
    uint32_t innerId;
    Span innerBody;
    while (inner.Next(&innerId, &innerBody)) {
      if (listType == FourCC("strl") && innerId == FourCC("strh") && !video &&
          innerBody.size >= 4 && Be32(innerBody.data) == FourCC("vids")) {
        video = true;
        if (innerBody.size >= 36) {
          scale = Le32(innerBody.data + 20);
          rate = Le32(innerBody.data + 24);
          length = Le32(innerBody.data + 32);
        }
      }
      if (listType == FourCC("odml") && innerId == FourCC("dmlh") && innerBody.size >= 4) {
        odmlFrames = Le32(innerBody.data);  // the count over all RIFF parts, unlike avih's
      }
    }
  }
  MovieTiming t;
  if (!video || (!SetRate(rate, scale, &t) && !SetRateFromDuration(1000000, usPerFrame, &t))) {
    return false;
  }
  const uint32_t frames = length ? length : odmlFrames ? odmlFrames : avihFrames;
  if (frames != 0) t.frames = frames;
  *out = t;
  return true;
}

bool ReadAvi(Source& src, MovieTiming* out) {
  Span head;
  if (!src.Read(0, 12, &head)) return false;
  // A RIFF size that is too big or zero (an unfinished file) is taken as the end of the bytes.
  const uint64_t riffSize = Le32(head.data + 4);
  const uint64_t end = riffSize >= 4 ? std::min(src.size(), 8 + riffSize) : src.size();
  uint64_t pos = 12;
  for (int i = 0; i < kMaxSiblings && end - pos >= 12; ++i) {
    if (!src.Read(pos, 12, &head)) return false;
    const uint32_t id = Be32(head.data), listType = Be32(head.data + 8);
    const uint64_t size = Le32(head.data + 4);
    if (id == FourCC("LIST") && size >= 4 && listType == FourCC("hdrl")) {
      // A cut hdrl is read as far as it goes.
      Span hdrl;
      return src.Read(pos + 12, std::min(size - 4, end - pos - 12), &hdrl) && ReadHdrl(hdrl, out);
    }
    if (id == FourCC("LIST") && listType == FourCC("movi")) return false;
    pos += 8 + size + size % 2;
    if (pos > end) return false;
  }
  return false;
}

bool ReadSource(Source& src, MovieTiming* out) {
  if (out == nullptr) return false;
  Span head;
  if (!src.ReadUpTo(0, 12, &head) || head.size < 4) return false;
  if (head.size == 12 && Be32(head.data) == FourCC("RIFF") &&
      Be32(head.data + 8) == FourCC("AVI ")) {
    return ReadAvi(src, out);
  }
  if (Be32(head.data) == kEbml) return ReadWebm(src, out);
  return ReadMp4(src, out);
}

}  // namespace

bool ReadMovieTiming(const uint8_t* data, size_t size, MovieTiming* out) {
  if (data == nullptr) return false;
  MemorySource src(data, size);
  return ReadSource(src, out);
}

bool ReadMovieTimingFromFile(const char* path, MovieTiming* out) {
  if (path == nullptr) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in || !in.seekg(0, std::ios::end)) return false;
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  FileSource src(in, static_cast<uint64_t>(size));
  return ReadSource(src, out);
}

}  // namespace webgraph
