// Text for people and for programs: names quoted for messages, and JSON built with a correct
// string escaper. Project files carry bytes in no particular encoding, so both escape what is
// not valid UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace klp::lint {

// Length of the valid UTF-8 sequence starting at text[at] (1 for ASCII), or 0 when the byte there
// does not start one (stray continuation byte, overlong form, surrogate, above U+10FFFF, cut off).
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at);

// text in double quotes for a one-line message: backslash, quote and the control characters
// escaped C-style (\n, \t, \r, else \xNN), as is each byte that is not valid UTF-8 (\xNN).
std::string Quoted(std::string_view text);

// text as a JSON string literal. Quote, backslash and control characters are escaped; valid UTF-8
// is kept; each byte that is not part of valid UTF-8 becomes \u00XX, that is, it is read as
// Latin-1 (so 0xE9 alone reads as "é").
std::string JsonString(std::string_view text);

// Builds one JSON value in a single line; commas are placed by the writer. Keys and strings go
// through JsonString.
class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view key);
  JsonWriter& String(std::string_view value);
  JsonWriter& Number(int64_t value);
  JsonWriter& Real(double value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();
  // The text written so far.
  const std::string& str() const { return out_; }

 private:
  void Separate();  // a comma before every element but the first of its container
  void Open(char bracket);

  std::string out_;
  std::vector<bool> empty_;  // per open container: nothing in it yet
  bool afterKey_ = false;
};

}  // namespace klp::lint
