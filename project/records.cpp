#include "project/records.h"

#include <limits>

#include "project/fields.h"

using klp::DigitsValue;
using klp::HexValue;
using klp::LeadingFields;
using klp::RemoveQuotePair;
using klp::SignedValue;

void CEventInfo::Parse(std::string_view line) {
  *this = CEventInfo();
  const LeadingFields<4> fields(line, ':', true);
  name = fields.at(0);
  frame = DigitsValue(fields.at(1));
  kind = fields.at(2);
  params = fields.at(3);
  const LeadingFields<3> parts(params, ',', true);
  if (kind == "URL") {
    url = RemoveQuotePair(parts.at(0));
    urlTarget = RemoveQuotePair(parts.at(1));
  } else if (kind == "TAC") {
    tacParam1 = parts.at(0);
    tacParam2 = parts.at(1);
    tacParam3 = parts.at(2);
  }
}

void CMarkerInfo::Parse(std::string_view line) {
  const LeadingFields<2> fields(line, ':', false);
  name = fields.at(0);
  frame = DigitsValue(fields.at(1));
}

void CHotSpotInfo::Parse(std::string_view line) {
  *this = CHotSpotInfo();
  // The first and last characters delimit the header, whatever they are.
  const std::string_view body = line.size() > 2 ? line.substr(1, line.size() - 2) : "";
  const LeadingFields<5> fields(body, ':', false);
  name = fields.at(0);
  linkName = fields.at(1);
  shape = fields.at(2);
  const LeadingFields<2> range(fields.at(3), '-', false);
  startFrame = DigitsValue(range.at(0));
  endFrame = DigitsValue(range.at(1));
  keyFrameCount = DigitsValue(fields.at(4));
}

void CHotSpotInfo::ParseKeyFrames(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) AddKeyFrame(line);
  CountKeyFrames();
}

void CHotSpotInfo::AddKeyFrame(std::string_view line) {
  const LeadingFields<2> fields(line, ':', false);
  const LeadingFields<4> corners(fields.at(1), ',', false);
  KeyFrame& key = keyFrames.emplace_back();
  key.frame = DigitsValue(fields.at(0));
  key.left = SignedValue(corners.at(0));
  key.top = SignedValue(corners.at(1));
  key.right = SignedValue(corners.at(2));
  key.bottom = SignedValue(corners.at(3));
}

void CHotSpotInfo::CountKeyFrames() {
  constexpr std::size_t kMaxCount = std::numeric_limits<int32_t>::max();
  keyFrameCount = static_cast<int32_t>(keyFrames.size() < kMaxCount ? keyFrames.size() : kMaxCount);
}

void CLinkInfo::Parse(std::string_view line) {
  *this = CLinkInfo();
  const LeadingFields<4> fields(line, ':', true);
  name = fields.at(0);
  kind = fields.at(1);
  const std::string_view parameter = fields.at(2);
  extra = fields.at(3);
  if (kind == "URL") {
    const LeadingFields<2> parts(parameter, ',', true);
    url = RemoveQuotePair(parts.at(0));
    urlTarget = RemoveQuotePair(parts.at(1));
  } else if (kind == "SEEK") {
    seekParam = parameter;
  } else if (kind == "PLAYER") {
    playerParam = RemoveQuotePair(parameter);
  }
}

void CEffectInfo::Parse(std::string_view line) {
  const LeadingFields<5> fields(line, ':', true);
  name = fields.at(0);
  frameColor = HexValue(fields.at(1));
  lineWidth = DigitsValue(fields.at(2));
  highlightColor = HexValue(fields.at(3));
  visibility = DigitsValue(fields.at(4));
}
