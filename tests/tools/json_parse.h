// A strict JSON reader for the tests: rejects anything RFC 8259 does not allow (raw control
// characters and invalid UTF-8 in strings, bad escapes, lone surrogates, trailing text) and
// gives the value with its strings decoded to UTF-8.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace klp::test {

struct Json {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject } type = Type::kNull;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<Json> array;
  std::map<std::string, Json> object;

  const Json& operator[](const std::string& key) const { return object.at(key); }
  const Json& operator[](std::size_t i) const { return array.at(i); }
};

class JsonParser {
 public:
  // The value of text, or nothing when text is not exactly one valid JSON value.
  static std::optional<Json> Parse(std::string_view text) {
    JsonParser parser(text);
    Json value;
    if (!parser.Value(value, 0)) return std::nullopt;
    parser.Blanks();
    if (parser.at_ != text.size()) return std::nullopt;
    return value;
  }

 private:
  explicit JsonParser(std::string_view text) : text_(text) {}

  void Blanks() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
      ++at_;
    }
  }
  bool Eat(char c) {
    Blanks();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool Value(Json& out, int depth) {
    if (depth > 64) return false;
    Blanks();
    if (at_ >= text_.size()) return false;
    const char c = text_[at_];
    if (c == '{') return Object(out, depth);
    if (c == '[') return Array(out, depth);
    if (c == '"') {
      out.type = Json::Type::kString;
      return String(out.string);
    }
    if (Word("null")) return true;
    if (Word("true") || Word("false")) {
      out.type = Json::Type::kBool;
      out.boolean = text_[at_ - 1] == 'e' && text_[at_ - 2] == 'u';  // "true", not "false"
      return true;
    }
    return Number(out);
  }

  bool Object(Json& out, int depth) {
    out.type = Json::Type::kObject;
    ++at_;
    if (Eat('}')) return true;
    do {
      Blanks();
      std::string key;
      if (at_ >= text_.size() || text_[at_] != '"' || !String(key) || !Eat(':')) return false;
      Json value;
      if (!Value(value, depth + 1) || !out.object.emplace(key, std::move(value)).second) {
        return false;
      }
    } while (Eat(','));
    return Eat('}');
  }

  bool Array(Json& out, int depth) {
    out.type = Json::Type::kArray;
    ++at_;
    if (Eat(']')) return true;
    do {
      Json value;
      if (!Value(value, depth + 1)) return false;
      out.array.push_back(std::move(value));
    } while (Eat(','));
    return Eat(']');
  }

  bool Number(Json& out) {
    const std::size_t start = at_;
    const auto digits = [&] {
      const std::size_t from = at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      return at_ > from;
    };
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    if (at_ < text_.size() && text_[at_] == '0') {
      ++at_;
    } else if (!digits()) {
      return false;
    }
    if (at_ < text_.size() && text_[at_] == '.' && (++at_, !digits())) return false;
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!digits()) return false;
    }
    out.type = Json::Type::kNumber;
    out.number = std::stod(std::string(text_.substr(start, at_ - start)));
    return true;
  }

  static void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  // Length of the well-formed UTF-8 character at the start of text, or 0.
  static std::size_t Utf8Length(std::string_view text) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    std::size_t length;
    uint32_t code, least;
    if (b(0) < 0x80) return 1;
    if ((b(0) & 0xE0) == 0xC0) {
      length = 2, code = b(0) & 0x1F, least = 0x80;
    } else if ((b(0) & 0xF0) == 0xE0) {
      length = 3, code = b(0) & 0x0F, least = 0x800;
    } else if ((b(0) & 0xF8) == 0xF0) {
      length = 4, code = b(0) & 0x07, least = 0x10000;
    } else {
      return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
      if ((b(i) & 0xC0) != 0x80) return 0;
      code = code << 6 | (b(i) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
  }

  bool Hex4(uint32_t& code) {
    if (text_.size() - at_ < 4) return false;
    code = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      code <<= 4;
      if (c >= '0' && c <= '9')
        code |= c - '0';
      else if (c >= 'a' && c <= 'f')
        code |= c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        code |= c - 'A' + 10;
      else
        return false;
    }
    return true;
  }

  bool String(std::string& out) {
    ++at_;  // the opening quote
    while (at_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[at_]);
      if (c == '"') {
        ++at_;
        return true;
      }
      if (c < 0x20) return false;
      if (c != '\\') {
        const std::size_t length = Utf8Length(text_.substr(at_));
        if (length == 0) return false;
        out.append(text_.substr(at_, length));
        at_ += length;
        continue;
      }
      if (++at_ >= text_.size()) return false;
      const char e = text_[at_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          uint32_t code = 0;
          if (!Hex4(code)) return false;
          if (code >= 0xDC00 && code <= 0xDFFF) return false;
          if (code >= 0xD800 && code <= 0xDBFF) {
            uint32_t low = 0;
            if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendUtf8(out, code);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace klp::test
