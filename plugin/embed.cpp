#include "plugin/embed.h"

#include <climits>
#include <cstring>
#include <new>

#include "platform/win/win.h"
#include "resources/resources.h"

namespace {

int AsciiLower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

bool EqualsIgnoringCase(const char* a, const char* b) {
  if (!a || !b) return false;
  for (; *a && *b; ++a, ++b)
    if (AsciiLower(static_cast<unsigned char>(*a)) != AsciiLower(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

// Decimal conversion as atoi does it, saturating instead of overflowing.
int32_t ToInt(const char* s) {
  if (!s) return 0;
  while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = *s++ == '-';
  int64_t value = 0;
  for (; *s >= '0' && *s <= '9'; ++s) {
    value = value * 10 + (*s - '0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

void SetFlag(int32_t& flag, const char* value) {
  if (EqualsIgnoringCase(value, "true")) flag = 1;
  else if (EqualsIgnoringCase(value, "false")) flag = 0;
}

}  // namespace

EmbedSettings ParseEmbedArgs(int16_t count, char* names[], char* values[]) {
  EmbedSettings s;
  struct Attribute {
    unsigned id;
    char name[resources::kStringBufferSize];
    bool seen;
  };
  Attribute attrs[] = {
      {resources::IDS_ATTR_SRC, {}, false},        {resources::IDS_ATTR_NAME, {}, false},
      {resources::IDS_ATTR_ACTIVATEMETHOD, {}, false}, {resources::IDS_ATTR_CHANGECURSOR, {}, false},
      {resources::IDS_ATTR_SHOWANCHOR, {}, false}, {resources::IDS_ATTR_AUTOPLAY, {}, false},
      {resources::IDS_ATTR_AUTOREPEAT, {}, false}, {resources::IDS_ATTR_KLDEBUG, {}, false},
  };
  for (Attribute& a : attrs) resources::LoadString(a.id, a.name, sizeof a.name);
  if (count <= 0 || !names || !values) return s;

  for (int i = 0; i < count; ++i) {
    for (Attribute& a : attrs) {
      if (a.seen || !EqualsIgnoringCase(names[i], a.name)) continue;
      a.seen = true;
      const char* value = values[i];
      switch (a.id) {
        case resources::IDS_ATTR_SRC: s.src = value; break;
        case resources::IDS_ATTR_NAME: s.name = value; break;
        case resources::IDS_ATTR_ACTIVATEMETHOD: {
          int32_t v = ToInt(value);
          if (v == 0 || v == 1) s.activatemethod = v;
          break;
        }
        case resources::IDS_ATTR_CHANGECURSOR: SetFlag(s.changecursor, value); break;
        case resources::IDS_ATTR_SHOWANCHOR: SetFlag(s.showanchor, value); break;
        case resources::IDS_ATTR_AUTOPLAY: SetFlag(s.autoplay, value); break;
        case resources::IDS_ATTR_AUTOREPEAT: SetFlag(s.autorepeat, value); break;
        case resources::IDS_ATTR_KLDEBUG: SetFlag(s.kldebug, value); break;
      }
      break;
    }
  }
  return s;
}

char* MakeMovieURL(const char* base, const char* movieName) {
  if (!base || !movieName) return nullptr;
  size_t len = std::strlen(base);
  size_t keep = 0;  // bytes of base to keep: up to and including the separator
  for (size_t i = len; i-- > 0;) {
    auto byte = static_cast<unsigned char>(base[i]);
    if (i > 0 && win::IsDBCSTrailByte(byte) &&
        win::IsDBCSLeadByte(static_cast<unsigned char>(base[i - 1])))
      continue;  // second byte of a double-byte character
    if (byte == '\\' || byte == '/' || byte == ':' || byte == '|') {
      keep = i + 1;
      break;
    }
  }
  size_t nameLen = std::strlen(movieName);
  char* url = new (std::nothrow) char[keep + nameLen + 1];
  if (!url) return nullptr;
  std::memcpy(url, base, keep);
  std::memcpy(url + keep, movieName, nameLen + 1);
  return url;
}

bool IsScriptURL(const char* url) {
  if (!url) return false;
  while (*url && static_cast<unsigned char>(*url) <= ' ') ++url;
  const char* scheme = "javascript:";
  for (; *scheme; ++url) {
    if (!*url) return false;
    if (*url == '\t' || *url == '\n' || *url == '\r') continue;
    if (AsciiLower(static_cast<unsigned char>(*url)) != *scheme) return false;
    ++scheme;
  }
  return true;
}
