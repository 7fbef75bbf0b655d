// One fuzz input as lines between the plug-in and npklod32-ui, checked where both sides meet the
// line protocol (platform/gtk/protocol.h).
//
// Layout: the first byte seeds how the stream is cut into reads; the rest is the stream. It is
// split by LineReader, each line parsed, each message formatted again and, for the requests that
// npklod32-ui presents, passed through its layout rules. A message made from the same bytes is
// also formatted and read back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace klp::fuzz {

// Empty when the stream was read soundly, else what went wrong.
std::string CheckHelperLines(std::string_view bytes);

// Streams in both directions as the two sides write them.
std::vector<std::string> HelperLinesSeeds();

}  // namespace klp::fuzz
