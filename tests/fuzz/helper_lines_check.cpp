#include "tests/fuzz/helper_lines_check.h"

#include <cstdint>
#include <cstring>
#include <random>

#include "platform/gtk/layout.h"
#include "platform/gtk/protocol.h"
#include "resources/resources.h"

namespace klp::fuzz {
namespace {

using gtkui::Message;
using gtkui::Verb;

// How many numbers each verb carries (protocol.h): the two sides index them without checking.
std::size_t NumbersOf(Verb verb) {
  switch (verb) {
    case Verb::Alive:
    case Verb::Show:
      return 0;
    case Verb::Ready:
    case Verb::Close:
    case Verb::Update:
    case Verb::End:
      return 1;
    case Verb::Chosen:
    case Verb::Click:
    case Verb::Key:
    case Verb::Item:
    case Verb::Check:
      return 2;
    case Verb::Menu:
      return 4;
    case Verb::Dialog:
      return 7;
  }
  return 0;
}

bool Same(const Message& a, const Message& b) {
  return a.verb == b.verb && a.numbers == b.numbers && a.text == b.text;
}

// What npklod32-ui computes from a request before it calls the toolkit.
void Present(const Message& m) {
  if (m.verb == Verb::Item) {
    gtkui::MnemonicLabel(m.text);
  } else if (m.verb == Verb::Dialog) {
    const resources::DialogTemplate* t =
        resources::FindDialog(static_cast<unsigned>(m.numbers[1]));
    if (!t) return;
    const gtkui::PixelRect placed{static_cast<int>(m.numbers[2]), static_cast<int>(m.numbers[3]),
                                  static_cast<int>(m.numbers[4]), static_cast<int>(m.numbers[5])};
    gtkui::DialogPlacement(*t, gtkui::BaseUnits{}, placed);
  }
}

// A line read back must be the message written; a formatted line holds no line break.
std::string RoundTrip(const Message& m) {
  const std::string line = gtkui::Format(m);
  if (line.find_first_of("\r\n") != std::string::npos) return "a line break in a formatted line";
  gtkui::LineReader reader;
  const std::string sent = line + "\n";
  reader.Feed(sent.data(), sent.size());
  const auto back = reader.Next();
  if (line.size() > gtkui::LineReader::kMaxLine) return back ? "an overlong line was read" : "";
  if (!back || *back != line) return "the reader changed a line";
  const auto parsed = gtkui::Parse(*back);
  if (!parsed || !Same(*parsed, m)) return "a formatted message does not read back";
  return "";
}

}  // namespace

std::string CheckHelperLines(std::string_view bytes) {
  if (bytes.empty()) return "";
  const std::string_view stream = bytes.substr(1);

  // The lines as a whole read gives them: complete lines, overlong ones dropped.
  std::vector<std::string> expected;
  for (std::size_t at = 0;;) {
    const std::size_t end = stream.find('\n', at);
    if (end == std::string_view::npos) break;
    if (end - at <= gtkui::LineReader::kMaxLine) expected.emplace_back(stream.substr(at, end - at));
    at = end + 1;
  }
  gtkui::LineReader reader;
  std::vector<std::string> lines;
  std::minstd_rand cuts(static_cast<unsigned char>(bytes[0]) + 1u);
  for (std::size_t at = 0; at < stream.size();) {
    const std::size_t n = std::min<std::size_t>(stream.size() - at, 1 + cuts() % 5000);
    reader.Feed(stream.data() + at, n);
    at += n;
    if (cuts() % 4 != 0)  // sometimes several reads arrive before the lines are taken
      while (auto line = reader.Next()) lines.push_back(std::move(*line));
  }
  while (auto line = reader.Next()) lines.push_back(std::move(*line));
  if (lines != expected) return "the reader split the stream differently when cut";

  for (const std::string& line : lines) {
    const auto m = gtkui::Parse(line);
    if (!m) continue;
    if (m->numbers.size() != NumbersOf(m->verb)) return "a message with the wrong count of numbers";
    if (m->verb != Verb::Item && !m->text.empty()) return "text on a verb without text";
    Present(*m);
    if (std::string problem = RoundTrip(*m); !problem.empty()) return problem;
  }

  // A message of any verb, any numbers and any text, made from the same bytes.
  Message made;
  made.verb = static_cast<Verb>(static_cast<unsigned char>(bytes[0]) % 13);
  std::string_view rest = stream;
  for (std::size_t i = 0; i < NumbersOf(made.verb); ++i) {
    int64_t n = 0;
    const std::size_t take = std::min<std::size_t>(rest.size(), sizeof n);
    std::memcpy(&n, rest.data(), take);
    rest.remove_prefix(take);
    made.numbers.push_back(n);
  }
  if (made.verb == Verb::Item) made.text = std::string(rest);
  return RoundTrip(made);
}

std::vector<std::string> HelperLinesSeeds() {
  using namespace std::string_literals;
  return {
      "\x07menu 1 30 40 77\nitem 1 5000 Play\nitem 0 5001 Pause\nitem 2048 0 \n"
      "item 0 5003 Properties...\nshow\n"s,
      "\x1d" "dialog 3 109 -5 7 285 221 4194305\ncheck 1001 1\ncheck 1002 0\nshow\n"
      "check 1001 0\nupdate 3\nend 3\n"s,
      "\x2a" "dialog 4 107 2147483647 2147483647 2147483647 2147483647 0\nshow\nend 4\n"s,
      "\x33ready 1\nalive\nchosen 1 5001\nclick 3 1001\nkey 3 13\nkey 3 27\nclose 3\n"s,
      "\x08item 0 7 a\\\\b\\nc\\rd &Save && Quit_\nitem 0 8 trailing\\\n"s,
      "\x09" "chosen -9223372036854775808 9223372036854775807\nchosen 1 99999999999999999999\n"s,
      "\x0b" + std::string(4200, 'x') + "\nready 1\n",
  };
}

}  // namespace klp::fuzz
