#include "lint/text.h"

#include <cmath>
#include <cstdio>

namespace klp::lint {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendHexByte(std::string& out, const char* prefix, unsigned char byte) {
  out += prefix;
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

}  // namespace

std::size_t Utf8SequenceAt(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

namespace {

// How a quoting style writes the bytes it cannot show as they are.
struct EscapeStyle {
  bool escapeDelete;      // 0x7F too, not only the control characters below 0x20
  bool backspaceAndFeed;  // \b and \f by name
  const char* hexPrefix;  // before two hex digits of any other byte
};

// text in double quotes: valid UTF-8 kept, quotes and backslashes escaped, control bytes and
// bytes that are not UTF-8 escaped in the style's way.
std::string QuoteWith(std::string_view text, const EscapeStyle& style) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = Utf8SequenceAt(text, i);
    if (length == 0 || c < 0x20 || (style.escapeDelete && c == 0x7F)) {
      if (c == '\n') {
        out += "\\n";
      } else if (c == '\t') {
        out += "\\t";
      } else if (c == '\r') {
        out += "\\r";
      } else if (style.backspaceAndFeed && c == '\b') {
        out += "\\b";
      } else if (style.backspaceAndFeed && c == '\f') {
        out += "\\f";
      } else {
        AppendHexByte(out, style.hexPrefix, c);
      }
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') out += '\\';
    out.append(text, i, length);
    i += length;
  }
  out += '"';
  return out;
}

}  // namespace

std::string Quoted(std::string_view text) { return QuoteWith(text, {true, false, "\\x"}); }

std::string JsonString(std::string_view text) { return QuoteWith(text, {false, true, "\\u00"}); }

void JsonWriter::Separate() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!empty_.empty()) {
    if (!empty_.back()) out_ += ',';
    empty_.back() = false;
  }
}

void JsonWriter::Open(char bracket) {
  Separate();
  out_ += bracket;
  empty_.push_back(true);
}

JsonWriter& JsonWriter::BeginObject() {
  Open('{');
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  out_ += '}';
  empty_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  Open('[');
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  out_ += ']';
  empty_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
  Separate();
  out_ += JsonString(key);
  out_ += ':';
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view value) {
  Separate();
  out_ += JsonString(value);
  return *this;
}

JsonWriter& JsonWriter::Number(int64_t value) {
  Separate();
  out_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Real(double value) {
  if (!std::isfinite(value)) return Null();  // JSON has no infinities
  Separate();
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.10g", value);
  out_ += buffer;
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  Separate();
  out_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Null() {
  Separate();
  out_ += "null";
  return *this;
}

}  // namespace klp::lint
