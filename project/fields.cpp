#include "project/fields.h"

#include <limits>

namespace klp {
namespace {

constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
constexpr int64_t kMin = std::numeric_limits<int32_t>::min();

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  const char lower = LowerAscii(c);
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return -1;
}

// An optional sign, then digits up to the first other character. The magnitude is capped as soon
// as it passes the limit, so any number of digits is read without overflow.
int32_t ParseSigned(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const int64_t limit = negative ? -kMin : kMax;
  int64_t magnitude = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) magnitude = limit;
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::vector<std::string_view> SplitFields(std::string_view text, char separator, bool quoting) {
  std::vector<std::string_view> fields;
  ForEachField(text, separator, quoting, [&fields](std::string_view field) {
    fields.push_back(field);
    return true;
  });
  return fields;
}

std::string_view FieldAt(const std::vector<std::string_view>& fields, std::size_t i) {
  return i < fields.size() ? fields[i] : std::string_view();
}

std::string_view RemoveQuotePair(std::string_view text) {
  if (!text.empty() && text.front() == '"') text.remove_prefix(1);
  if (!text.empty() && text.back() == '"') text.remove_suffix(1);
  return text;
}

// The filters below read the kept characters as they pass instead of copying them first.

int32_t DigitsValue(std::string_view text) {
  int64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) continue;
    value = value * 10 + (c - '0');
    if (value > kMax) value = kMax;
  }
  return static_cast<int32_t>(value);
}

int32_t SignedValue(std::string_view text) {
  bool first = true;
  bool negative = false;
  int64_t limit = kMax;
  int64_t magnitude = 0;
  for (char c : text) {
    const bool sign = c == '+' || c == '-';
    if (!sign && !IsDigit(c)) continue;
    if (first) {
      first = false;
      if (sign) {
        negative = c == '-';
        limit = negative ? -kMin : kMax;
        continue;
      }
    }
    if (sign) break;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) magnitude = limit;
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

int32_t HexValue(std::string_view text) {
  std::size_t kept = 0;  // characters kept so far
  bool leadingZero = false;
  int64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c) && !IsLetter(c)) continue;
    ++kept;
    if (kept == 1) leadingZero = c == '0';
    if (kept == 2 && leadingZero && (c == 'x' || c == 'X')) continue;  // "0x": the prefix
    const int digit = HexDigit(c);
    if (digit < 0) break;
    value = value * 16 + digit;
    if (value > kMax) value = kMax;
  }
  return static_cast<int32_t>(value);
}

int32_t DecimalValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return ParseSigned(text.substr(i));
}

}  // namespace klp
