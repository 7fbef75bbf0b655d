// One fuzz input as the EMBED attributes of an instance and the movie URL built from them.
//
// Layout: the first byte picks the code page (odd: 932, double-byte; even: 1252); the rest is
// split at NUL bytes into fields. The last field is the movie name, the others alternate
// attribute name and value; a field that is the single byte 0x01 is passed as a null string.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace klp::fuzz {

// Empty when ParseEmbedArgs, MakeMovieURL and IsScriptURL handled the input soundly, else what
// went wrong.
std::string CheckEmbedArgs(std::string_view bytes);

// Inputs in the layout above: real attribute sets, Shift JIS paths and URLs.
std::vector<std::string> EmbedArgsSeeds();

}  // namespace klp::fuzz
