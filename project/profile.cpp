#include "project/profile.h"

#include <optional>
#include <string>
#include <string_view>

#include "project/fields.h"
#include "project/line_reader.h"

namespace klp {
namespace {

// The value of key in the first section named section, or nothing. Stops reading at the end of
// that section, so a value near the top of a large file is found without reading the rest.
std::optional<std::string> FindValue(std::string_view section, std::string_view key,
                                     const char* path) {
  FileLineReader reader(path);
  std::string line;
  bool inSection = false;
  while (reader.Next(line) == LineStatus::kLine) {
    const std::string_view text = TrimBlanks(line);
    if (text.empty() || text.front() == ';') continue;
    if (text.front() == '[') {
      const std::size_t close = text.find(']');
      if (close != std::string_view::npos) {
        if (inSection) return std::nullopt;
        inSection = EqualsIgnoreCase(TrimBlanks(text.substr(1, close - 1)), section);
        continue;
      }
    }
    if (!inSection) continue;
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    if (!EqualsIgnoreCase(TrimBlanks(text.substr(0, equals)), key)) continue;
    std::string_view value = TrimBlanks(text.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
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
