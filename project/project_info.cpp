#include "project/project_info.h"

#include <array>
#include <limits>
#include <new>
#include <stdexcept>
#include <optional>

#include "project/fields.h"
#include "project/profile.h"
#include "project/read_ahead.h"

using klp::LineSource;
using klp::LineStatus;
using klp::LineUse;
using klp::Section;

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
  int result = 0;
  if (observer == nullptr && klp::TakeReadAhead(filePath, *this, &result)) return result;
  // Running out of memory on an outsized file fails the read; nothing is thrown to the caller.
  try {
    ReadGlobal(filePath, observer);
    klp::FileLineReader lines(path);
    if (!lines.IsOpen()) return -1;
    return ReadRecords(lines, observer);
  } catch (const std::bad_alloc&) {
    return -1;
  } catch (const std::length_error&) {
    return -1;
  }
}

void CProjectInfo::ReadGlobal(const std::string& filePath, klp::ReadObserver* observer) {
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
}

int CProjectInfo::ReadRecords(LineSource& input, klp::ReadObserver* observer) {
  klp::RecordReader reader(*this, observer);
  std::string line;
  LineStatus status;
  while ((status = input.Next(line)) == LineStatus::kLine) reader.Take(line);
  return reader.Finish(status);
}

void klp::RecordReader::Take(std::string_view raw) {
  ++number_;
  const std::string_view line = TrimBlanks(raw);
  if (line.empty() || line.front() == ';') return Tell(line, LineUse::kSkipped, open_);
  if (block_ >= 0) return TakeBlockLine(line);
  if (const auto header = HeaderSection(line)) {
    open_ = *header;
    return Tell(line, LineUse::kSectionHeader, open_);
  }
  switch (open_) {
    case Section::kNone:
      return Tell(line, LineUse::kOutside, open_);
    case Section::kEvent:
      return Tell(line, LineUse::kEvent, open_, project_.AddEvent(line));
    case Section::kMarker:
      return Tell(line, LineUse::kMarker, open_, project_.AddMarker(line));
    case Section::kLink:
      return Tell(line, LineUse::kLink, open_, project_.AddLink(line));
    case Section::kEffect:
      return Tell(line, LineUse::kEffect, open_, project_.AddEffect(line));
    case Section::kHotSpot:
      // A pass of hotSpotCount blocks starts with this line.
      if (project_.hotSpotCount <= 0) return Tell(line, LineUse::kDropped, open_);
      block_ = 0;
      return TakeBlockLine(line);
  }
}

// Inside a block every content line is its header or one of the key-frame lines the header
// announces, section headers included. Each block takes at least one line, so a pass ends at the
// end of the input however large the count.
void klp::RecordReader::TakeBlockLine(std::string_view line) {
  if (spot_ != nullptr) {
    Tell(line, LineUse::kKeyFrame, Section::kHotSpot, position_, key_);
    spot_->AddKeyFrame(line);
    if (++key_ == keyCount_) EndBlock();
    return;
  }
  position_ = project_.AddHotSpot(line, keyCount_);
  Tell(line, LineUse::kHotSpotHeader, Section::kHotSpot, position_, block_);
  spot_ = project_.hotSpots[static_cast<std::size_t>(position_)].get();
  key_ = 0;
  if (keyCount_ <= 0) EndBlock();
}

void klp::RecordReader::EndBlock() {
  spot_->CountKeyFrames();
  spot_ = nullptr;
  if (++block_ >= project_.hotSpotCount) block_ = -1;  // the pass is over
}

int klp::RecordReader::Finish(LineStatus status) {
  if (spot_ != nullptr) spot_->CountKeyFrames();  // the input ended inside a block
  spot_ = nullptr;
  block_ = -1;
  if (status == LineStatus::kError) return -1;
  project_.eventCount = SizeOf(project_.events.size());
  project_.markerCount = SizeOf(project_.markers.size());
  project_.hotSpotCount = SizeOf(project_.hotSpots.size());
  project_.linkCount = SizeOf(project_.links.size());
  project_.effectCount = SizeOf(project_.effects.size());
  return 0;
}

void klp::RecordReader::Tell(std::string_view text, LineUse use, Section section, int index,
                             int32_t part) const {
  if (observer_ != nullptr) observer_->OnLine({number_, text, use, section, index, part});
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
