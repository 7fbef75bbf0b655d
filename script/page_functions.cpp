#include "script/page_functions.h"

#include <cstring>

#include "plugin/services.h"

namespace {

bool Call(NPP instance, const char* name, const NPVariant& arg) {
  if (!instance || !name || !NPN_HasNPRuntime()) return false;
  NPObject* window = nullptr;
  if (NPN_GetValue(instance, NPNVWindowNPObject, &window) != NPERR_NO_ERROR || !window)
    return false;
  NPIdentifier id = NPN_GetStringIdentifier(name);
  NPVariant function{};
  function.type = NPVariantType_Void;
  bool defined = id && NPN_GetProperty(instance, window, id, &function) &&
                 function.type == NPVariantType_Object;
  if (id) NPN_ReleaseVariantValue(&function);
  if (defined) {
    NPVariant result{};
    result.type = NPVariantType_Void;
    if (NPN_Invoke(instance, window, id, &arg, 1, &result)) NPN_ReleaseVariantValue(&result);
  }
  NPN_ReleaseObject(window);
  return defined;
}

// Length of the valid UTF-8 sequence at s, or 0.
size_t Utf8Sequence(const unsigned char* s) {
  if (s[0] < 0x80) return 1;
  size_t n = (s[0] & 0xE0) == 0xC0 ? 2 : (s[0] & 0xF0) == 0xE0 ? 3 : (s[0] & 0xF8) == 0xF0 ? 4 : 0;
  if (!n || (n == 2 && s[0] < 0xC2)) return 0;
  for (size_t i = 1; i < n; ++i)
    if ((s[i] & 0xC0) != 0x80) return 0;
  return n;
}

}  // namespace

std::string PageText(const char* text) {
  if (!text) return {};
  auto* s = reinterpret_cast<const unsigned char*>(text);
  size_t length = std::strlen(text);
  bool valid = true;
  for (size_t i = 0; i < length && valid;) {
    size_t n = Utf8Sequence(s + i);
    valid = n != 0;
    i += n;
  }
  if (valid) return std::string(text, length);
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    if (s[i] < 0x80) {
      out += static_cast<char>(s[i]);
    } else {
      out += static_cast<char>(0xC0 | (s[i] >> 6));
      out += static_cast<char>(0x80 | (s[i] & 0x3F));
    }
  }
  return out;
}

bool CallPageFunction(NPP instance, const char* name, const char* text) {
  std::string utf8 = PageText(text);
  NPVariant arg{};
  arg.type = NPVariantType_String;
  arg.value.stringValue = NPString{utf8.c_str(), static_cast<uint32_t>(utf8.size())};
  return Call(instance, name, arg);
}

bool CallPageFunction(NPP instance, const char* name, int32_t number) {
  NPVariant arg{};
  arg.type = NPVariantType_Int32;
  arg.value.intValue = number;
  return Call(instance, name, arg);
}
