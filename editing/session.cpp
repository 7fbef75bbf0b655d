#include "editing/session.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "lint/lint.h"
#include "lint/read_trace.h"
#include "lint/text.h"
#include "overlay/draw.h"

namespace klp::editing {
namespace {

// The reader and the lint read files: the text goes through a temporary one.
class TextFile {
 public:
  explicit TextFile(std::string_view text) {
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir && *dir ? dir : "/tmp") + "/klp-edit-XXXXXX";
    int fd = mkstemp(path_.data());
    if (fd < 0) {
      path_.clear();
      return;
    }
    size_t done = 0;
    while (done < text.size()) {
      ssize_t n = ::write(fd, text.data() + done, text.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    ::close(fd);
    if (done != text.size()) {
      ::unlink(path_.c_str());
      path_.clear();
    }
  }
  ~TextFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  const std::string& path() const { return path_; }  // empty: could not be written

 private:
  std::string path_;
};

void KeyFrames(lint::JsonWriter& w, const std::vector<KeyFrame>& keys) {
  w.BeginArray();
  for (const KeyFrame& k : keys) {
    w.BeginArray().Number(k.frame).Number(k.left).Number(k.top).Number(k.right).Number(k.bottom);
    w.EndArray();
  }
  w.EndArray();
}

const char* ListName(LineUse use) {
  switch (use) {
    case LineUse::kEvent: return "events";
    case LineUse::kMarker: return "markers";
    case LineUse::kLink: return "links";
    case LineUse::kEffect: return "effects";
    case LineUse::kHotSpotHeader:
    case LineUse::kKeyFrame: return "hotSpots";
    default: return nullptr;
  }
}

// The frame a diagnostic on line is about: the record's own, or the key frame's.
int32_t ItemFrame(const CProjectInfo& p, const lint::TracedLine& line) {
  const auto at = [&](const auto& list) {
    return line.index >= 0 && static_cast<size_t>(line.index) < list.size() ? list[line.index].get()
                                                                               : nullptr;
  };
  switch (line.use) {
    case LineUse::kEvent: return at(p.events) ? at(p.events)->frame : 0;
    case LineUse::kMarker: return at(p.markers) ? at(p.markers)->frame : 0;
    case LineUse::kHotSpotHeader: {
      const CHotSpotInfo* spot = at(p.hotSpots);
      if (!spot) return 0;
      return spot->keyFrames.empty() ? spot->startFrame : spot->keyFrames.front().frame;
    }
    case LineUse::kKeyFrame: {
      const CHotSpotInfo* spot = at(p.hotSpots);
      if (!spot || line.part < 0 || static_cast<size_t>(line.part) >= spot->keyFrames.size())
        return 0;
      return spot->keyFrames[static_cast<size_t>(line.part)].frame;
    }
    default: return 0;
  }
}

// A new record at the end of list; count becomes the list's size.
template <class Record>
Record& Append(std::vector<std::unique_ptr<Record>>& list, int32_t& count) {
  list.push_back(std::make_unique<Record>());
  count = static_cast<int32_t>(list.size());
  return *list.back();
}

}  // namespace

std::string RecordsJson(const CProjectInfo& p) {
  lint::JsonWriter w;
  w.BeginObject();
  w.Key("version").String(p.version).Key("source").String(p.source);
  w.Key("markers").BeginArray();
  for (const auto& m : p.markers) {
    w.BeginObject().Key("name").String(m->name).Key("frame").Number(m->frame).EndObject();
  }
  w.EndArray().Key("events").BeginArray();
  for (const auto& e : p.events) {
    w.BeginObject().Key("name").String(e->name).Key("frame").Number(e->frame);
    w.Key("kind").String(e->kind).Key("params").String(e->params).EndObject();
  }
  w.EndArray().Key("hotSpots").BeginArray();
  for (const auto& h : p.hotSpots) {
    w.BeginObject().Key("name").String(h->name).Key("link").String(h->linkName);
    w.Key("shape").String(h->shape).Key("start").Number(h->startFrame);
    w.Key("end").Number(h->endFrame).Key("keyFrames");
    KeyFrames(w, h->keyFrames);
    w.EndObject();
  }
  w.EndArray().Key("links").BeginArray();
  for (const auto& l : p.links) {
    w.BeginObject().Key("name").String(l->name).Key("kind").String(l->kind);
    w.Key("seekParam").String(l->seekParam).Key("playerParam").String(l->playerParam);
    w.Key("url").String(l->url).Key("urlTarget").String(l->urlTarget);
    w.Key("extra").String(l->extra).EndObject();
  }
  w.EndArray().Key("effects").BeginArray();
  for (const auto& e : p.effects) {
    w.BeginObject().Key("name").String(e->name).Key("frameColor").Number(e->frameColor);
    w.Key("highlightColor").Number(e->highlightColor).Key("lineWidth").Number(e->lineWidth);
    w.Key("visibility").Number(e->visibility).EndObject();
  }
  w.EndArray().EndObject();
  return w.str();
}

Session::Session() : project_(std::make_unique<CProjectInfo>()) {}
Session::~Session() = default;

std::string Session::Open(std::string_view text) {
  lint::JsonWriter w;
  TextFile file(text);
  auto project = std::make_unique<CProjectInfo>();
  auto layout = std::make_unique<FileLayout>();
  if (file.path().empty() || project->Read(file.path(), layout.get()) != 0) {
    w.BeginObject().Key("ok").Bool(false).Key("error").String("the project could not be read");
    return w.EndObject().str();
  }
  project->path.clear();
  project_ = std::move(project);
  layout_ = std::move(layout);
  return "{\"ok\":true,\"records\":" + RecordsJson(*project_) + "}";
}

void Session::Forget() { layout_.reset(); }

void Session::Clear(std::string_view version, std::string_view source) {
  project_ = std::make_unique<CProjectInfo>();
  project_->version = version;
  project_->source = source;
}

void Session::AddMarker(std::string_view name, int32_t frame) {
  CMarkerInfo& m = Append(project_->markers, project_->markerCount);
  m.name = name;
  m.frame = frame;
}

void Session::AddEvent(std::string_view name, int32_t frame, std::string_view kind,
                       std::string_view params) {
  // The parts that the kind splits params into are the reader's: the line is parsed as the
  // writer will write it.
  std::string line = std::string(name) + ":" + std::to_string(frame);
  if (!kind.empty() || !params.empty()) line += ":" + std::string(kind);
  if (!params.empty()) line += ":" + std::string(params);
  CEventInfo& e = Append(project_->events, project_->eventCount);
  e.Parse(line);
  // What the line cannot carry stays as given, for the writer to refuse by name.
  e.name = name;
  e.frame = frame;
  e.kind = kind;
  e.params = params;
}

void Session::AddHotSpot(std::string_view name, std::string_view link, std::string_view shape,
                         int32_t start, int32_t end) {
  CHotSpotInfo& h = Append(project_->hotSpots, project_->hotSpotCount);
  h.name = name;
  h.linkName = link;
  h.shape = shape;
  h.startFrame = start;
  h.endFrame = end;
}

void Session::AddKeyFrame(int32_t frame, int32_t left, int32_t top, int32_t right,
                          int32_t bottom) {
  if (project_->hotSpots.empty()) return;
  CHotSpotInfo& h = *project_->hotSpots.back();
  h.keyFrames.push_back(KeyFrame{frame, left, top, right, bottom});
  h.keyFrameCount = static_cast<int32_t>(h.keyFrames.size());
}

void Session::AddLink(std::string_view name, std::string_view kind, std::string_view seekParam,
                      std::string_view playerParam, std::string_view url,
                      std::string_view urlTarget, std::string_view extra) {
  CLinkInfo& l = Append(project_->links, project_->linkCount);
  l.name = name;
  l.kind = kind;
  l.seekParam = seekParam;
  l.playerParam = playerParam;
  l.url = url;
  l.urlTarget = urlTarget;
  l.extra = extra;
}

void Session::AddEffect(std::string_view name, int32_t frameColor, int32_t highlightColor,
                        int32_t lineWidth, int32_t visibility) {
  CEffectInfo& e = Append(project_->effects, project_->effectCount);
  e.name = name;
  e.frameColor = frameColor;
  e.highlightColor = highlightColor;
  e.lineWidth = lineWidth;
  e.visibility = visibility;
}

std::string Session::Write(bool playable) const {
  const WriteResult result = WriteProject(
      *project_, layout_.get(), playable ? WriteCheck::kPlayable : WriteCheck::kExact);
  lint::JsonWriter w;
  w.BeginObject().Key("ok").Bool(result.ok());
  if (result.ok()) {
    w.Key("text").String(result.text);
  } else {
    w.Key("errors").BeginArray();
    for (const std::string& e : result.errors) w.String(e);
    w.EndArray();
  }
  return w.EndObject().str();
}

std::string Session::Lint(int64_t frames, int32_t width, int32_t height) const {
  lint::JsonWriter w;
  const WriteResult written = WriteProject(*project_, layout_.get(), WriteCheck::kExact);
  w.BeginObject();
  if (!written.ok()) {
    w.Key("errors").Number(static_cast<int64_t>(written.errors.size())).Key("warnings").Number(0);
    w.Key("diagnostics").BeginArray();
    for (const std::string& e : written.errors) {
      w.BeginObject().Key("line").Null().Key("severity").String("error");
      w.Key("code").String("not-written").Key("message").String(e);
      w.Key("hint").String("change the record so that it can be written").Key("item").Null();
      w.EndObject();
    }
    return w.EndArray().EndObject().str();
  }
  TextFile file(written.text);
  std::unique_ptr<lint::TracedProject> read =
      file.path().empty() ? nullptr : lint::ReadTraced(file.path());
  lint::Movie movie;
  if (frames >= 0) movie.frames = frames;
  movie.width = width;
  movie.height = height;
  // The lint takes 0 x 0 for a movie without a picture; an unknown size is no movie at all.
  const bool known = width > 0 && height > 0;
  lint::Report report;
  if (read) report = lint::Lint(*read, known ? &movie : nullptr);
  w.Key("errors").Number(report.Errors()).Key("warnings").Number(report.Warnings());
  w.Key("diagnostics").BeginArray();
  for (const lint::Diagnostic& d : report.diagnostics) {
    w.BeginObject().Key("line");
    d.line > 0 ? w.Number(d.line) : w.Null();
    w.Key("severity").String(lint::SeverityName(d.severity)).Key("code").String(d.code);
    w.Key("message").String(d.message).Key("hint").String(d.hint).Key("item");
    const lint::TracedLine* line =
        d.line > 0 && static_cast<size_t>(d.line) <= read->trace.lines.size()
            ? &read->trace.lines[static_cast<size_t>(d.line - 1)]
            : nullptr;
    const char* list = line ? ListName(line->use) : nullptr;
    if (list) {
      w.BeginObject().Key("list").String(list).Key("index").Number(line->index);
      w.Key("frame").Number(ItemFrame(read->project, *line)).EndObject();
    } else {
      w.Null();
    }
    w.EndObject();
  }
  return w.EndArray().EndObject().str();
}

int Session::AnchorAt(int index, int32_t frame, anchors::Rect* rect) const {
  if (index < 0 || static_cast<size_t>(index) >= project_->hotSpots.size()) return 0;
  const CHotSpotInfo& spot = *project_->hotSpots[static_cast<size_t>(index)];
  if (!anchors::RectAtFrame(spot.keyFrames.data(), spot.keyFrames.size(), frame, rect)) return 0;
  // The overlay's rule, on a frame whose pixels are the video's.
  overlay::Anchor anchor;
  for (const KeyFrame& k : spot.keyFrames) {
    anchor.keyFrames.push_back({k.frame, k.left, k.top, k.right, k.bottom});
  }
  media::VideoFrame picture;
  picture.number = frame;
  anchors::Rect drawn;
  int result = overlay::AnchorRectInFrame(anchor, picture, &drawn) ? 1 : 0;
  if (frame >= spot.startFrame && frame <= spot.endFrame &&
      anchors::HitShape(spot.shape) != anchors::SHAPE_NONE) {
    result |= 2;
  }
  return result;
}

}  // namespace klp::editing
