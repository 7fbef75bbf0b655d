#include "platform/gtk/protocol.h"

#include <charconv>

namespace gtkui {
namespace {

struct VerbInfo {
  Verb verb;
  std::string_view name;
  size_t numbers;
  bool text;
};

constexpr VerbInfo kVerbs[] = {
    {Verb::Ready, "ready", 1, false},   {Verb::Alive, "alive", 0, false},
    {Verb::Chosen, "chosen", 2, false}, {Verb::Click, "click", 2, false},
    {Verb::Key, "key", 2, false},       {Verb::Close, "close", 1, false},
    {Verb::Menu, "menu", 4, false},     {Verb::Item, "item", 2, true},
    {Verb::Dialog, "dialog", 7, false}, {Verb::Check, "check", 2, false},
    {Verb::Show, "show", 0, false},     {Verb::Update, "update", 1, false},
    {Verb::End, "end", 1, false},
};

const VerbInfo* Info(Verb verb) {
  for (const VerbInfo& v : kVerbs)
    if (v.verb == verb) return &v;
  return nullptr;
}

void Escape(std::string_view text, std::string* out) {
  for (char c : text) {
    if (c == '\\') {
      *out += "\\\\";
    } else if (c == '\n') {
      *out += "\\n";
    } else if (c == '\r') {
      *out += "\\r";
    } else {
      *out += c;
    }
  }
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\' || i + 1 == text.size()) {
      out += c;
      continue;
    }
    char e = text[++i];
    out += e == 'n' ? '\n' : e == 'r' ? '\r' : e;
  }
  return out;
}

// The next space-separated field of rest, consumed with its separator.
std::string_view Field(std::string_view* rest) {
  size_t space = rest->find(' ');
  std::string_view field = rest->substr(0, space);
  *rest = space == std::string_view::npos ? std::string_view{} : rest->substr(space + 1);
  return field;
}

}  // namespace

std::string Format(const Message& m) {
  const VerbInfo* info = Info(m.verb);
  std::string line(info->name);
  for (int64_t n : m.numbers) line += " " + std::to_string(n);
  if (info->text) {
    line += ' ';
    Escape(m.text, &line);
  }
  return line;
}

std::optional<Message> Parse(std::string_view line) {
  std::string_view rest = line;
  std::string_view name = Field(&rest);
  const VerbInfo* info = nullptr;
  for (const VerbInfo& v : kVerbs)
    if (v.name == name) info = &v;
  if (!info) return std::nullopt;
  Message m;
  m.verb = info->verb;
  for (size_t i = 0; i < info->numbers; ++i) {
    std::string_view field = Field(&rest);
    int64_t n = 0;
    auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), n);
    if (field.empty() || error != std::errc() || end != field.data() + field.size())
      return std::nullopt;
    m.numbers.push_back(n);
  }
  if (info->text) {
    m.text = Unescape(rest);
  } else if (!rest.empty()) {
    return std::nullopt;
  }
  return m;
}

void LineReader::Feed(const char* data, size_t size) { buffer_.append(data, size); }

std::optional<std::string> LineReader::Next() {
  for (;;) {
    size_t end = buffer_.find('\n');
    if (end == std::string::npos) {
      if (buffer_.size() > kMaxLine) {
        buffer_.clear();
        skipping_ = true;
      }
      return std::nullopt;
    }
    std::string line = buffer_.substr(0, end);
    buffer_.erase(0, end + 1);
    if (skipping_ || line.size() > kMaxLine) {
      skipping_ = false;
      continue;
    }
    return line;
  }
}

}  // namespace gtkui
