// The benchmark's floor: the plain decoding pipeline, kept apart from code that includes the
// win layer (GLib's TRUE and FALSE macros clash with win::TRUE and win::FALSE).
#pragma once

#include <string>

namespace klp::test {

// Plays path through "filesrc ! decodebin ! videoconvert ! video/x-raw,format=BGRx !
// fakesink sync=true" to its end in real time; counts the frames reaching the sink.
bool PlayPlainPipeline(const std::string& path, int* frames);

}  // namespace klp::test
