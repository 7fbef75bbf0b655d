#include "project/project_info.h"

#include <array>
#include <limits>
#include <new>
#include <stdexcept>
#include <optional>

#include "project/fields.h"
#include "project/profile.h"

using klp::LineSource;
using klp::LineStatus;
using klp::LineUse;
using klp::Section;

// The lines being read, counted, and the observer told of each (none: nothing is told).
struct klp::LineCursor {
  LineSource& source;
  klp::ReadObserver* observer;
  int64_t number = 0;

  void Tell(std::string_view text, LineUse use, Section section, int index = -1,
            int32_t part = -1) const {
    if (observer != nullptr) observer->OnLine({number, text, use, section, index, part});
  }
};

std::optional<Section> klp::HeaderSection(std::string_view line) {
  static constexpr std::array<std::pair<std::string_view, Section>, 5> kHeaders{{
      {"[Event]", Section::kEvent},
      {"[Marker]", Section::kMarker},
      {"[HotSpot]", Section::kHotSpot},
      {"[Link]", Section::kLink},
      {"[Effect]", Section::kEffect},
  }};
  for (const auto& [header, section] : kHeaders) {
    if (klp::EqualsIgnoreCase(line, header)) return section;
  }
  return std::nullopt;
}

namespace {

// The next line that is neither blank nor a comment, trimmed. Skipped lines are told as such
// while the open section is `section`.
LineStatus NextContentLine(klp::LineCursor& lines, std::string& line, Section section) {
  for (;;) {
    const LineStatus status = lines.source.Next(line);
    if (status != LineStatus::kLine) return status;
    ++lines.number;
    const std::string_view text = klp::TrimBlanks(line);
    if (text.empty() || text.front() == ';') {
      lines.Tell(text, LineUse::kSkipped, section);
      continue;
    }
    const std::size_t begin = text.data() - line.data();
    line.resize(begin + text.size());
    line.erase(0, begin);
    return LineStatus::kLine;
  }
}

int32_t SizeOf(std::size_t size) {
  constexpr std::size_t kMax = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(size < kMax ? size : kMax);
}

template <typename Record>
int Append(std::vector<std::unique_ptr<Record>>& list, std::string_view line) {
  auto record = std::make_unique<Record>();
  record->Parse(line);
  list.push_back(std::move(record));
  return static_cast<int>(list.size() - 1);
}

template <typename Record>
int Find(const std::vector<std::unique_ptr<Record>>& list, std::string_view name, int index,
         const Record** record) {
  int found = -1;
  if (name.empty()) {
    if (index >= 0 && static_cast<std::size_t>(index) < list.size()) found = index;
  } else {
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (list[i]->name == name) {
        found = static_cast<int>(i);
        break;
      }
    }
  }
  if (found >= 0 && record != nullptr) *record = list[found].get();
  return found;
}

}  // namespace

CProjectInfo::~CProjectInfo() { RemoveAll(); }

int CProjectInfo::Read(const std::string& filePath, klp::ReadObserver* observer) {
  // Running out of memory on an outsized file fails the read; nothing is thrown to the caller.
  try {
    path = filePath;
    char value[256];
    const auto global = [&](const char* key) {
      klp::GetPrivateProfileString("Global", key, "*", value, sizeof value, path.c_str());
      return std::string(value);
    };
    version = global("KLPVersion");
    source = global("Source");
    eventCount = klp::DecimalValue(global("Event"));
    markerCount = klp::DecimalValue(global("Marker"));
    hotSpotCount = klp::DecimalValue(global("HotSpot"));
    linkCount = klp::DecimalValue(global("Link"));
    effectCount = klp::DecimalValue(global("Effect"));
    if (observer != nullptr) observer->OnGlobal(*this);

    klp::FileLineReader lines(path);
    if (!lines.IsOpen()) return -1;
    return ReadRecords(lines, observer);
  } catch (const std::bad_alloc&) {
    return -1;
  } catch (const std::length_error&) {
    return -1;
  }
}

int CProjectInfo::ReadRecords(LineSource& input, klp::ReadObserver* observer) {
  klp::LineCursor lines{input, observer};
  Section open = Section::kNone;
  std::string line;
  for (;;) {
    LineStatus status = NextContentLine(lines, line, open);
    if (status == LineStatus::kError) return -1;
    if (status == LineStatus::kEnd) break;
    if (const auto header = klp::HeaderSection(line)) {
      open = *header;
      lines.Tell(line, LineUse::kSectionHeader, open);
      continue;
    }
    switch (open) {
      case Section::kNone:
        lines.Tell(line, LineUse::kOutside, open);
        break;
      case Section::kEvent:
        lines.Tell(line, LineUse::kEvent, open, AddEvent(line));
        break;
      case Section::kMarker:
        lines.Tell(line, LineUse::kMarker, open, AddMarker(line));
        break;
      case Section::kLink:
        lines.Tell(line, LineUse::kLink, open, AddLink(line));
        break;
      case Section::kEffect:
        lines.Tell(line, LineUse::kEffect, open, AddEffect(line));
        break;
      case Section::kHotSpot:
        status = ReadHotSpotBlocks(lines, line);
        if (status == LineStatus::kError) return -1;
        break;
    }
  }
  eventCount = SizeOf(events.size());
  markerCount = SizeOf(markers.size());
  hotSpotCount = SizeOf(hotSpots.size());
  linkCount = SizeOf(links.size());
  effectCount = SizeOf(effects.size());
  return 0;
}

// One pass of hotSpotCount blocks, the first starting at header. Inside a block every content
// line is a header or a key-frame line, section headers included. Each block takes at least one
// line, so a pass ends at the end of the input however large the count.
LineStatus CProjectInfo::ReadHotSpotBlocks(klp::LineCursor& lines, std::string& header) {
  if (hotSpotCount <= 0) lines.Tell(header, LineUse::kDropped, Section::kHotSpot);
  LineStatus status = LineStatus::kLine;
  std::string keyLine;  // one buffer for every key-frame line
  for (int32_t i = 0; i < hotSpotCount; ++i) {
    if (i > 0) {
      status = NextContentLine(lines, header, Section::kHotSpot);
      if (status != LineStatus::kLine) return status;
    }
    int32_t count = 0;
    const int position = AddHotSpot(header, count);
    lines.Tell(header, LineUse::kHotSpotHeader, Section::kHotSpot, position, i);
    CHotSpotInfo& spot = *hotSpots[position];
    for (int32_t k = 0; k < count; ++k) {
      status = NextContentLine(lines, keyLine, Section::kHotSpot);
      if (status != LineStatus::kLine) break;
      lines.Tell(keyLine, LineUse::kKeyFrame, Section::kHotSpot, position, k);
      spot.AddKeyFrame(keyLine);
    }
    spot.CountKeyFrames();
    if (status != LineStatus::kLine) return status;
  }
  return status;
}

void CProjectInfo::RemoveAll() {
  events.clear();
  eventCount = 0;
  markers.clear();
  markerCount = 0;
  hotSpots.clear();
  hotSpotCount = 0;
  links.clear();
  linkCount = 0;
  effects.clear();
  effectCount = 0;
}

int CProjectInfo::AddEvent(std::string_view line) { return Append(events, line); }
int CProjectInfo::AddMarker(std::string_view line) { return Append(markers, line); }
int CProjectInfo::AddLink(std::string_view line) { return Append(links, line); }
int CProjectInfo::AddEffect(std::string_view line) { return Append(effects, line); }

int CProjectInfo::AddHotSpot(std::string_view line, int32_t& keyFrameCount) {
  const int position = Append(hotSpots, line);
  keyFrameCount = hotSpots[position]->keyFrameCount;
  return position;
}

int CProjectInfo::SetHotSpotKeyFrames(const std::vector<std::string>& lines, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= hotSpots.size()) return -1;
  hotSpots[index]->ParseKeyFrames(lines);
  return index;
}

int CProjectInfo::FindEvent(std::string_view name, int index, const CEventInfo** record) const {
  return Find(events, name, index, record);
}

int CProjectInfo::FindMarker(std::string_view name, int index, const CMarkerInfo** record) const {
  return Find(markers, name, index, record);
}

int CProjectInfo::FindHotSpot(std::string_view name, int index,
                              const CHotSpotInfo** record) const {
  return Find(hotSpots, name, index, record);
}

int CProjectInfo::FindEffect(std::string_view name, int index, const CEffectInfo** record) const {
  return Find(effects, name, index, record);
}
