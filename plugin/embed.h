// The EMBED attributes an instance is created with, and the movie URL built from them.
#pragma once

#include <cstdint>

struct EmbedSettings {
  const char* src = nullptr;   // the browser's value string, valid during NPP_New only
  const char* name = nullptr;  // likewise
  int32_t activatemethod = 0;
  int32_t changecursor = 1;
  int32_t showanchor = 1;
  int32_t autoplay = 1;
  int32_t autorepeat = 0;
  int32_t kldebug = 0;
};

// Reads count name/value pairs; the first occurrence of each attribute (names compared without
// regard to ASCII case) wins. Unknown names and unrecognised values are ignored.
EmbedSettings ParseEmbedArgs(int16_t count, char* names[], char* values[]);

// base's directory part (up to and including its last "\", "/", ":" or "|", never cutting a
// double-byte character of the ANSI code page) followed by movieName; movieName alone when base
// has no separator. Returns a new[] string owned by the caller, or null.
char* MakeMovieURL(const char* base, const char* movieName);

// Whether a URL would run script in the page ("javascript:" in any letter case, after leading
// blanks and ignoring tabs and line breaks, as browsers parse it).
bool IsScriptURL(const char* url);
