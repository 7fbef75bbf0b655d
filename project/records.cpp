#include "project/records.h"

#include <limits>

#include "project/fields.h"

using klp::DigitsValue;
using klp::FieldAt;
using klp::HexValue;
using klp::RemoveQuotePair;
using klp::SignedValue;
using klp::SplitFields;

void CEventInfo::Parse(std::string_view line) {
  *this = CEventInfo();
  const auto fields = SplitFields(line, ':', true);
  name = FieldAt(fields, 0);
  frame = DigitsValue(FieldAt(fields, 1));
  kind = FieldAt(fields, 2);
  params = FieldAt(fields, 3);
  const auto parts = SplitFields(params, ',', true);
  if (kind == "URL") {
    url = RemoveQuotePair(FieldAt(parts, 0));
    urlTarget = RemoveQuotePair(FieldAt(parts, 1));
  } else if (kind == "TAC") {
    tacParam1 = FieldAt(parts, 0);
    tacParam2 = FieldAt(parts, 1);
    tacParam3 = FieldAt(parts, 2);
  }
}

void CMarkerInfo::Parse(std::string_view line) {
  const auto fields = SplitFields(line, ':', false);
  name = FieldAt(fields, 0);
  frame = DigitsValue(FieldAt(fields, 1));
}

void CHotSpotInfo::Parse(std::string_view line) {
  *this = CHotSpotInfo();
  // The first and last characters delimit the header, whatever they are.
  const std::string_view body = line.size() > 2 ? line.substr(1, line.size() - 2) : "";
  const auto fields = SplitFields(body, ':', false);
  name = FieldAt(fields, 0);
  linkName = FieldAt(fields, 1);
  shape = FieldAt(fields, 2);
  const auto range = SplitFields(FieldAt(fields, 3), '-', false);
  startFrame = DigitsValue(FieldAt(range, 0));
  endFrame = DigitsValue(FieldAt(range, 1));
  keyFrameCount = DigitsValue(FieldAt(fields, 4));
}

void CHotSpotInfo::ParseKeyFrames(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const auto fields = SplitFields(line, ':', false);
    const auto corners = SplitFields(FieldAt(fields, 1), ',', false);
    KeyFrame& key = keyFrames.emplace_back();
    key.frame = DigitsValue(FieldAt(fields, 0));
    key.left = SignedValue(FieldAt(corners, 0));
    key.top = SignedValue(FieldAt(corners, 1));
    key.right = SignedValue(FieldAt(corners, 2));
    key.bottom = SignedValue(FieldAt(corners, 3));
  }
  constexpr std::size_t kMaxCount = std::numeric_limits<int32_t>::max();
  keyFrameCount = static_cast<int32_t>(keyFrames.size() < kMaxCount ? keyFrames.size() : kMaxCount);
}

void CLinkInfo::Parse(std::string_view line) {
  *this = CLinkInfo();
  const auto fields = SplitFields(line, ':', true);
  name = FieldAt(fields, 0);
  kind = FieldAt(fields, 1);
  const std::string_view parameter = FieldAt(fields, 2);
  extra = FieldAt(fields, 3);
  if (kind == "URL") {
    const auto parts = SplitFields(parameter, ',', true);
    url = RemoveQuotePair(FieldAt(parts, 0));
    urlTarget = RemoveQuotePair(FieldAt(parts, 1));
  } else if (kind == "SEEK") {
    seekParam = parameter;
  } else if (kind == "PLAYER") {
    playerParam = RemoveQuotePair(parameter);
  }
}

void CEffectInfo::Parse(std::string_view line) {
  const auto fields = SplitFields(line, ':', true);
  name = FieldAt(fields, 0);
  frameColor = HexValue(FieldAt(fields, 1));
  lineWidth = DigitsValue(FieldAt(fields, 2));
  highlightColor = HexValue(FieldAt(fields, 3));
  visibility = DigitsValue(FieldAt(fields, 4));
}
