// The line protocol between the plug-in and npklod32-ui, the helper program that presents its
// pop-up menus and dialogs. Plain C++, shared by both sides.
//
// The plug-in starts the helper with one end of a socket pair as the helper's standard input and
// output. Each message is one line: a verb, its numbers in decimal, and for `item` the text to
// the end of the line, with "\\" for a backslash, "\n" and "\r" for line breaks. Lines that do
// not parse, and verbs a side does not know, are ignored.
//
// Helper to plug-in:
//   ready <version>                 once, when the helper has opened the display
//   alive                           every second while a menu or dialog is up
//   chosen <serial> <command>       the menu closed: the chosen item's command, 0 for none
//   click <serial> <control>        a button was clicked, a check box toggled or a radio button
//                                   checked (after the helper has shown the change)
//   key <serial> <vk>               13 for Enter, 27 for Escape, as the dialog manager sees them
//   close <serial>                  the close box of the dialog's frame
//
// Plug-in to helper (a request is its first line, its body lines and `show`):
//   menu <serial> <x> <y> <owner>   a pop-up menu with its top left corner at (x, y)
//   item <flags> <command> <text>   one item, flags as AppendMenuA's (grayed, separator)
//   dialog <serial> <template> <x> <y> <width> <height> <owner>
//                                   a dialog built from resource template <template>, placed as
//                                   the plug-in placed its own window: (x, y, width, height)
//   check <control> <state>         a check box or radio button's state (1 checked)
//   show                            the request is complete: present it
//   update <serial>                 the dialog's controls take the states sent since `show`
//   end <serial>                    take the menu or dialog down
//
// <owner> is the X window of the browser (0 when unknown): coordinates are relative to it, and
// dialogs stay above it; with 0 they are screen coordinates. A serial names one menu or
// dialog; answers carry it, so an answer that crosses an `end` is recognised as stale. The
// dialog's procedure runs in the plug-in: the helper reports input and shows the states it is
// sent, and takes the dialog down only when told to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gtkui {

inline constexpr int kProtocolVersion = 1;

enum class Verb {
  Ready,
  Alive,
  Chosen,
  Click,
  Key,
  Close,
  Menu,
  Item,
  Dialog,
  Check,
  Show,
  Update,
  End,
};

struct Message {
  Verb verb = Verb::Alive;
  std::vector<int64_t> numbers;  // exactly as many as the verb has
  std::string text;              // `item` only
};

// The line for m, without its line break. m must have its verb's count of numbers.
std::string Format(const Message& m);
// The message on a line (without its line break); nothing for an unknown verb, a wrong count
// of numbers or a number that does not parse.
std::optional<Message> Parse(std::string_view line);

// Splits a byte stream into lines. A line longer than kMaxLine is dropped whole.
class LineReader {
 public:
  static constexpr size_t kMaxLine = 4096;
  void Feed(const char* data, size_t size);
  // The next complete line, without its line break.
  std::optional<std::string> Next();

 private:
  std::string buffer_;
  bool skipping_ = false;  // inside an overlong line, up to its end
};

}  // namespace gtkui
