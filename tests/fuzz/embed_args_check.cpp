#include "tests/fuzz/embed_args_check.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/win/win.h"
#include "plugin/embed.h"

namespace klp::fuzz {
namespace {

bool SameIgnoringAsciiCase(const char* a, std::string_view b) {
  if (!a || std::strlen(a) != b.size()) return false;
  for (std::size_t i = 0; i < b.size(); ++i) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':' || c == '|'; }

// The URL must be a prefix of base ending at a separator (or nothing) followed by movieName, and
// no separator may stand after that prefix unless it is the second byte of a double-byte
// character.
std::string CheckUrl(const char* base, const char* movieName) {
  std::unique_ptr<char[]> url(MakeMovieURL(base, movieName));
  if (!base || !movieName) return url ? "a URL from a null string" : "";
  if (!url) return "no URL";
  const std::string_view b(base), m(movieName), u(url.get());
  if (u.size() < m.size() || u.substr(u.size() - m.size()) != m) return "movie name not kept";
  const std::size_t keep = u.size() - m.size();
  if (keep > b.size() || b.substr(0, keep) != u.substr(0, keep)) return "not a prefix of the base";
  if (keep > 0 && !IsSeparator(b[keep - 1])) return "the prefix does not end at a separator";
  for (std::size_t j = keep; j < b.size(); ++j) {
    if (!IsSeparator(b[j])) continue;
    const bool secondByte = j > 0 && win::IsDBCSTrailByte(static_cast<unsigned char>(b[j])) &&
                            win::IsDBCSLeadByte(static_cast<unsigned char>(b[j - 1]));
    if (!secondByte) return "cut before the last separator";
  }
  return "";
}

}  // namespace

std::string CheckEmbedArgs(std::string_view bytes) {
  if (bytes.empty()) return "";
  win::SetAnsiCodePage(bytes[0] & 1 ? 932 : 1252);
  std::vector<std::string> fields;
  std::string_view rest = bytes.substr(1);
  for (;;) {
    const std::size_t nul = rest.find('\0');
    fields.emplace_back(rest.substr(0, nul));
    if (nul == std::string_view::npos) break;
    rest.remove_prefix(nul + 1);
  }
  auto str = [](std::string& f) -> char* { return f == "\x01" ? nullptr : f.data(); };
  char* movieName = str(fields.back());
  std::vector<char*> names, values;
  for (std::size_t i = 0; i + 2 <= fields.size() - 1 && names.size() < INT16_MAX; i += 2) {
    names.push_back(str(fields[i]));
    values.push_back(str(fields[i + 1]));
  }
  const auto count = static_cast<int16_t>(names.size());
  const EmbedSettings s = ParseEmbedArgs(count, names.data(), values.data());

  // The first pair of each name decides; later ones, in any case, do nothing.
  auto first = [&](std::string_view name) -> std::optional<std::size_t> {
    for (std::size_t i = 0; i < names.size(); ++i)
      if (SameIgnoringAsciiCase(names[i], name)) return i;
    return std::nullopt;
  };
  auto value = [&](std::string_view name) -> const char* {
    auto i = first(name);
    return i ? values[*i] : nullptr;
  };
  if (s.src != value("src")) return "src is not the first src value";
  if (s.name != value("name")) return "name is not the first name value";
  struct Flag {
    const char* name;
    int32_t got;
    int32_t standard;
  };
  for (const Flag& f : {Flag{"changecursor", s.changecursor, 1}, Flag{"showanchor", s.showanchor, 1},
                        Flag{"autoplay", s.autoplay, 1}, Flag{"autorepeat", s.autorepeat, 0},
                        Flag{"kldebug", s.kldebug, 0}}) {
    const char* v = value(f.name);
    const int32_t expected = SameIgnoringAsciiCase(v, "true")    ? 1
                             : SameIgnoringAsciiCase(v, "false") ? 0
                                                                 : f.standard;
    if (f.got != expected) return std::string(f.name) + " is wrong";
  }
  if (s.activatemethod != 0 && s.activatemethod != 1) return "activatemethod out of range";
  const char* method = value("activatemethod");
  if (method && (std::strcmp(method, "0") == 0 || std::strcmp(method, "1") == 0) &&
      s.activatemethod != method[0] - '0')
    return "activatemethod not taken";

  const char* base = s.src ? s.src : (values.empty() ? nullptr : values[0]);
  std::string problem = CheckUrl(base, movieName);
  if (problem.empty() && base) problem = CheckUrl(movieName, base);
  if (!problem.empty()) return problem;
  IsScriptURL(base);
  IsScriptURL(movieName);
  return "";
}

std::vector<std::string> EmbedArgsSeeds() {
  using namespace std::string_literals;
  return {
      "\x02src\0tour.klp\0name\0m1\0width\0320\0autoplay\0true\0tour.mpg"s,
      "\x02SRC\0/a/b/c.klp\0src\0b.klp\0AutoPlay\0FALSE\0kldebug\0True\0m.mpg"s,
      "\x02src\0http://h/p/a.klp\0activatemethod\0 1\0autorepeat\0TRUE\0../up/m.mpg"s,
      "\x02src\0file:///C|dir\\c.klp\0changecursor\0false\0showanchor\0no\0m.mpg"s,
      "\x01src\0dir\\\x95\x5C\\c.klp\0name\0\x82\xA0\0\x95\x5C.mpg"s,
      "\x01src\0dir\\ab\x95\x5C\0activatemethod\0-1\0m.mpg"s,
      "\x03src\0C:\x81\x5C\x81|x.cgi?f=a/b\0\x01\0\x01\0\x01"s,
      "\x02\x01\0tour.klp\0name\0\x01\0javascript:alert(1)"s,
  };
}

}  // namespace klp::fuzz
