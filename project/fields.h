// Field helpers of the project-file reader: blank trimming, splitting a record line into fields
// (with or without double-quote grouping), removal of one enclosing pair of quotes, and the
// numeric filters that turn a field into a 32-bit value.
//
// Every conversion saturates at the 32-bit limits instead of overflowing, and every function is
// linear in the length of its input. Bytes are taken as they are: no encoding is assumed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace klp {

// Space, tab, line feed, vertical tab, form feed, carriage return.
bool IsBlank(char c);

// The text without its leading and trailing blanks.
std::string_view TrimBlanks(std::string_view text);

// True when a and b are equal, ASCII letters compared without regard to case.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Calls take(field) for each field of text in turn, as SplitFields gives them, until take
// returns false.
template <typename Take>
void ForEachField(std::string_view text, char separator, bool quoting, Take take) {
  bool inside = false;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoting && c == '"') {
      inside = !inside;
    } else if (c == separator && !inside) {
      if (!take(text.substr(start, i - start))) return;
      start = i + 1;
    }
  }
  take(text.substr(start));
}

// Splits text at every separator. With quoting, a double quote switches an inside-quotes state on
// and off and a separator inside quotes does not split; the quotes stay in the fields. There is
// always at least one field: "" gives {""}, "a:" gives {"a", ""}.
std::vector<std::string_view> SplitFields(std::string_view text, char separator, bool quoting);

// Field i of fields, or empty text when there are fewer fields.
std::string_view FieldAt(const std::vector<std::string_view>& fields, std::size_t i);

// The first N fields of text as SplitFields gives them, without allocating: for records that
// read their fields by position. at(i) is empty text from the field after the last on.
template <std::size_t N>
class LeadingFields {
 public:
  LeadingFields(std::string_view text, char separator, bool quoting) {
    ForEachField(text, separator, quoting, [this](std::string_view field) {
      fields_[count_++] = field;
      return count_ < N;
    });
  }
  std::string_view at(std::size_t i) const { return i < count_ ? fields_[i] : std::string_view(); }

 private:
  std::string_view fields_[N];
  std::size_t count_ = 0;
};

// Takes off one leading double quote, if present, and one trailing double quote, if present.
std::string_view RemoveQuotePair(std::string_view text);

// Keeps only "0"-"9" wherever they stand and reads them as a decimal number; nothing left gives 0.
// Saturates at INT32_MAX.
int32_t DigitsValue(std::string_view text);

// Keeps only "0"-"9", "+" and "-", then reads an optional sign and the digits up to the first
// other character ("5-3" gives 5, "+-5" gives 0). Saturates at INT32_MIN and INT32_MAX.
int32_t SignedValue(std::string_view text);

// Keeps only "0"-"9", "A"-"Z" and "a"-"z", then reads an optional "0x" or "0X" and hexadecimal
// digits up to the first other character. Values above 0x7FFFFFFF give 0x7FFFFFFF.
int32_t HexValue(std::string_view text);

// Optional leading blanks, an optional sign, then digits up to the first other character; no
// digits give 0. Saturates at INT32_MIN and INT32_MAX.
int32_t DecimalValue(std::string_view text);

}  // namespace klp
