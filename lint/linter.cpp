#include "lint/linter.h"

#include <algorithm>
#include <cctype>

#include "lint/text.h"
#include "project/fields.h"

namespace klp::lint {
namespace {

std::string StripLeadingZeros(std::string_view digits) {
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string_view::npos ? "0" : std::string(digits.substr(first));
}

// Whether a number field says plainly what the reader makes of it: digits only (with a sign
// where allowed), blanks around, and within 32 bits.
bool IsPlainNumber(std::string_view field, int32_t value, bool sign) {
  std::string_view text = TrimBlanks(field);
  bool negative = false;
  if (sign && !text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (!AllDigits(text)) return false;
  const int64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : value;
  if (negative != (value < 0) && value != 0) return false;
  return StripLeadingZeros(text) == std::to_string(magnitude);
}

// As IsPlainNumber for a colour: "#", "0x" or nothing, then hexadecimal digits, at most 7FFFFFFF.
bool IsPlainHex(std::string_view field, int32_t value) {
  std::string_view text = TrimBlanks(field);
  if (!text.empty() && text.front() == '#') {
    text.remove_prefix(1);
  } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
      })) {
    return false;
  }
  std::string upper = StripLeadingZeros(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper == Hex(value);
}

}  // namespace

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Hex(int32_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  auto v = static_cast<uint32_t>(value);
  do {
    out.insert(out.begin(), kDigits[v & 0xF]);
    v >>= 4;
  } while (v != 0);
  return out;
}

std::string Plural(std::size_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

std::string RectText(const anchors::Rect& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

void Linter::Add(int64_t line, Severity severity, std::string code, std::string message,
                 std::string hint) {
  report_.diagnostics.push_back(
      {line, severity, std::move(code), std::move(message), std::move(hint)});
}

void Linter::Warn(int64_t line, std::string code, std::string message, std::string hint) {
  Add(line, Severity::kWarning, std::move(code), std::move(message), std::move(hint));
}

void Linter::Error(int64_t line, std::string code, std::string message, std::string hint) {
  Add(line, Severity::kError, std::move(code), std::move(message), std::move(hint));
}

bool Linter::Misread(int64_t line) const {
  return line > 0 && static_cast<std::size_t>(line) < misread_.size() && misread_[line];
}

void Linter::CheckNumber(int64_t line, const std::string& what, std::string_view field,
                         int32_t value, bool sign) {
  if (IsPlainNumber(field, value, sign)) return;
  Warn(line, "bad-number",
       what + " " + Quoted(TrimBlanks(field)) + " is read as " + std::to_string(value),
       sign ? "write it as a whole number: digits with an optional sign"
            : "write it with the digits 0-9 only");
}

void Linter::CheckHex(int64_t line, const std::string& what, std::string_view field,
                      int32_t value) {
  if (IsPlainHex(field, value)) return;
  Warn(line, "bad-number", what + " " + Quoted(TrimBlanks(field)) + " is read as " + Hex(value),
       "write it as hexadecimal digits, at most 7FFFFFFF, optionally after # or 0x");
}

void Linter::CheckQuotedName(int64_t line, const std::string& what, const std::string& name,
                             const std::string& receiver) {
  if (name.size() < 2 || name.front() != '"' || name.back() != '"') return;
  Warn(line, "quoted-name", what + " name " + Quoted(name) + " keeps its quotes: " + receiver,
       "write the name without quotes");
}

bool Linter::HotSpotMisread(std::size_t i) const {
  if (Misread(LineAt(trace_.hotSpotLines, i))) return true;
  if (i < trace_.keyFrameLines.size()) {
    for (int64_t line : trace_.keyFrameLines[i]) {
      if (Misread(line)) return true;
    }
  }
  return false;
}

const std::string& Linter::TextOf(int64_t line) const {
  static const std::string kNone;
  // Lines are traced in order and numbered from 1, one entry per line.
  if (line <= 0 || static_cast<std::size_t>(line) > trace_.lines.size()) return kNone;
  return trace_.lines[line - 1].text;
}

}  // namespace klp::lint
