#include "project/profile.h"

#include <optional>
#include <string>
#include <string_view>

#include "project/fields.h"
#include "project/line_reader.h"

namespace klp {
namespace {

// What one line (already split at carriage returns) says.
struct Line {
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string_view name;   // of the section or the key
  std::string_view value;  // of the key, blanks and one pair of quotes removed
};

Line Classify(std::string_view raw) {
  const std::string_view text = TrimBlanks(raw);
  if (text.empty() || text.front() == ';') return {};
  if (text.front() == '[') {
    // Without its "]" the header still opens the section named by the rest of the line.
    const std::size_t close = text.find(']');
    const std::string_view name =
        close == std::string_view::npos ? text.substr(1) : text.substr(1, close - 1);
    return {Line::kSection, TrimBlanks(name), {}};
  }
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return {};
  std::string_view value = TrimBlanks(text.substr(equals + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return {Line::kKey, TrimBlanks(text.substr(0, equals)), value};
}

// The value of key in the first section named section, or nothing. Stops reading at the end of
// that section, so a value near the top of a large file is found without reading the rest.
std::optional<std::string> FindValue(std::string_view section, std::string_view key,
                                     const char* path) {
  FileLineReader reader(path);
  std::string fileLine;
  bool inSection = false;
  while (reader.Next(fileLine) == LineStatus::kLine) {
    std::string_view rest = fileLine;
    for (bool more = true; more;) {
      const std::size_t cr = rest.find('\r');
      more = cr != std::string_view::npos;
      const Line line = Classify(rest.substr(0, cr));
      if (more) rest.remove_prefix(cr + 1);
      if (line.kind == Line::kSection) {
        if (inSection) return std::nullopt;
        inSection = EqualsIgnoreCase(line.name, section);
      } else if (line.kind == Line::kKey && inSection && EqualsIgnoreCase(line.name, key)) {
        return std::string(line.value);
      }
    }
  }
  return std::nullopt;
}

}  // namespace

std::size_t GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                    char* buffer, std::size_t size, const char* path) {
  if (buffer == nullptr || size == 0) return 0;
  std::optional<std::string> value;
  if (section != nullptr && key != nullptr && path != nullptr) {
    value = FindValue(section, key, path);
  }
  std::string_view text;
  if (value) {
    text = *value;
  } else if (defaultValue != nullptr) {
    text = defaultValue;
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  }
  const std::size_t count = text.size() < size - 1 ? text.size() : size - 1;
  text.copy(buffer, count);
  buffer[count] = '\0';
  return count;
}

}  // namespace klp
