#include <atomic>

#include "platform/win/win.h"

namespace win {
namespace {
std::atomic<UINT> g_acp{1252};
}

void SetAnsiCodePage(UINT codePage) { g_acp = codePage == 932 ? 932 : 1252; }
UINT GetACP() { return g_acp; }

BOOL IsDBCSLeadByte(unsigned char b) {
  if (g_acp != 932) return FALSE;
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

BOOL IsDBCSTrailByte(unsigned char b) {
  if (g_acp != 932) return FALSE;
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

int MultiByteToWideChar(UINT, DWORD, const char* text, int count, char16_t* wide, int wideMax) {
  if (!text || count == 0 || count < -1 || wideMax < 0) return 0;
  size_t n = 0;
  if (count == -1) {
    while (text[n]) ++n;
    ++n;  // the terminating zero is converted too
  } else {
    n = static_cast<size_t>(count);
  }
  if (wideMax == 0) return static_cast<int>(n);
  if (n > static_cast<size_t>(wideMax)) return 0;
  for (size_t i = 0; i < n; ++i) wide[i] = static_cast<unsigned char>(text[i]);
  return static_cast<int>(n);
}

}  // namespace win
