#include "platform/gtk/presenter.h"

#include <dlfcn.h>
#include <poll.h>

#include <chrono>
#include <cstdio>

// After the project's headers: GLib defines TRUE and FALSE, which the win layer uses as names.
#include <glib-unix.h>
#include <glib.h>

namespace gtkui {
namespace {

constexpr int kTickMs = 50;
constexpr const char* kHelperName = "npklod32-ui";

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

Message Make(Verb verb, std::vector<int64_t> numbers, std::string text = {}) {
  return Message{verb, std::move(numbers), std::move(text)};
}

class Reading {
 public:
  explicit Reading(bool& flag) : flag_(flag) { flag_ = true; }
  ~Reading() { flag_ = false; }
  Reading(const Reading&) = delete;
  Reading& operator=(const Reading&) = delete;

 private:
  bool& flag_;
};

}  // namespace

// Marks the presenter busy with s for the scope.
class Presenter::Open {
 public:
  Open(Presenter& p, Session& s) : p_(p) {
    p_.session_ = &s;
    p_.failure_.clear();
  }
  ~Open() { p_.session_ = nullptr; }
  Open(const Open&) = delete;
  Open& operator=(const Open&) = delete;

 private:
  Presenter& p_;
};

Presenter::Presenter(Options options) : options_(std::move(options)) {}

Presenter::~Presenter() { helper_.Stop(); }

win::UINT_PTR Presenter::TrackMenu(const win::Menu& menu, win::POINT at, const Owner& owner) {
  if (Busy()) {
    Report(owner, "a menu or dialog is already open; the menu was not shown");
    return 0;
  }
  Session s;
  s.owner = &owner;
  Open open(*this, s);
  if (!EnsureHelper(s)) {
    if (!s.done) Report(owner, failure_ + "; the menu was not shown");
    return 0;
  }
  s.serial = ++serial_;
  bool sent = Send(Make(Verb::Menu, {static_cast<int64_t>(s.serial), at.x, at.y,
                                     static_cast<int64_t>(owner.window)}));
  for (const win::MenuItem& item : menu.items)
    sent = sent && Send(Make(Verb::Item, {item.flags, static_cast<int64_t>(item.id)}, item.text));
  sent = sent && Send(Make(Verb::Show, {}));
  if (!sent) GiveUp("stopped", false);
  Wait([&s] { return s.done; }, owner);
  if (s.done) return s.chosen;  // answered (perhaps just before the helper went) or cancelled
  Report(owner, failure_ + "; the menu was cancelled");
  return 0;
}

void Presenter::RunDialog(win::HWND dialog, win::RECT placement, const Owner& owner) {
  win::Desktop* desktop = win::Desktop::Current();
  const win::Dialog* rec = desktop ? desktop->FindDialog(dialog) : nullptr;
  if (!rec || rec->ended) return;
  if (Busy()) {
    Report(owner, "a menu or dialog is already open; the dialog was not shown");
    return;
  }
  Session s;
  s.owner = &owner;
  s.dialog = dialog;
  {
    Open open(*this, s);
    if (EnsureHelper(s)) {
      s.serial = ++serial_;
      bool sent = Send(Make(
          Verb::Dialog, {static_cast<int64_t>(s.serial), rec->tmpl->id, placement.left,
                         placement.top, placement.right - placement.left,
                         placement.bottom - placement.top, static_cast<int64_t>(owner.window)}));
      if (!sent || !SendDialogStates(s, Verb::Show)) GiveUp("stopped", false);
      Wait([&s] { return s.done; }, owner);
    }
  }
  if (s.done || failure_.empty()) return;
  Report(owner, failure_ + "; the dialog was cancelled");
  // Cancelled as the user cancels: the close box, else Escape.
  rec = desktop->FindDialog(dialog);
  if (rec && !rec->ended && !desktop->CloseDialog(dialog))
    desktop->PressDialogKey(dialog, win::VK_ESCAPE);
}

void Presenter::Cancel(const void* tag) {
  if (!session_ || session_->done || session_->owner->tag != tag) return;
  session_->done = true;
  if (session_->serial) Send(Make(Verb::End, {static_cast<int64_t>(session_->serial)}));
}

// The helper, started for the owner's display and ready; false when it cannot be had (or the
// request was cancelled meanwhile).
bool Presenter::EnsureHelper(Session& s) {
  const Owner& owner = *s.owner;
  if (helper_.Started() && (display_ != owner.display || !helper_.Ended().empty())) {
    helper_.Stop();
    ready_ = false;
  }
  if (!helper_.Started()) {
    std::vector<std::string> args;
    if (!owner.display.empty()) args = {"--display", owner.display};
    std::string error;
    reader_ = LineReader();
    ready_ = false;
    if (!helper_.Start(options_.helperPath, args, &error)) {
      failure_ = error;
      return false;
    }
    display_ = owner.display;
    deadline_ = NowMs() + options_.startTimeoutMs;
  }
  ReadHelper();  // a helper started for an earlier request may have said ready meanwhile
  if (!ready_ && failure_.empty()) Wait([this, &s] { return ready_ || s.done; }, owner);
  if (!failure_.empty() || s.done) return false;
  deadline_ = NowMs() + options_.silenceTimeoutMs;
  return true;
}

bool Presenter::Send(const Message& m) { return helper_.Send(Format(m)); }

// The dialog's check marks, then `verb` (show or update).
bool Presenter::SendDialogStates(const Session& s, Verb verb) {
  const win::Dialog* rec = win::Desktop::Current()->FindDialog(s.dialog);
  if (!rec) return false;
  for (const auto& [id, state] : rec->checks)
    if (!Send(Make(Verb::Check, {id, state}))) return false;
  return Send(verb == Verb::Show ? Make(Verb::Show, {})
                                 : Make(Verb::Update, {static_cast<int64_t>(s.serial)}));
}

void Presenter::Wait(const std::function<bool()>& finished, const Owner& owner) {
  auto over = [&] { return finished() || !failure_.empty(); };
  GMainContext* context = g_main_context_default();
  if (!g_main_context_acquire(context)) {
    while (!over()) {
      pollfd p{helper_.fd(), POLLIN, 0};
      poll(&p, 1, kTickMs);
      ReadHelper();
      if (!over()) Tick();
      if (owner.pump && !over()) owner.pump();
    }
    return;
  }
  GSource* io =
      g_unix_fd_source_new(helper_.fd(), static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR));
  g_source_set_callback(io, G_SOURCE_FUNC(+[](gint, GIOCondition, gpointer self) -> gboolean {
                          static_cast<Presenter*>(self)->ReadHelper();
                          return G_SOURCE_CONTINUE;
                        }),
                        this, nullptr);
  g_source_attach(io, context);
  GSource* tick = g_timeout_source_new(kTickMs);
  g_source_set_callback(
      tick,
      +[](gpointer self) -> gboolean {
        static_cast<Presenter*>(self)->Tick();
        return G_SOURCE_CONTINUE;
      },
      this, nullptr);
  g_source_attach(tick, context);
  while (!over()) {
    g_main_context_iteration(context, TRUE);
    if (owner.pump && !over()) owner.pump();
  }
  g_source_destroy(tick);
  g_source_unref(tick);
  g_source_destroy(io);
  g_source_unref(io);
  g_main_context_release(context);
}

void Presenter::ReadHelper() {
  // Not again from a loop that a dialog procedure runs while it handles a line.
  if (reading_ || !helper_.Started() || !failure_.empty()) return;
  Reading reading(reading_);
  std::string data;
  bool closed = helper_.Read(&data) == HelperProcess::ReadResult::Closed;
  reader_.Feed(data.data(), data.size());
  if (!data.empty()) deadline_ = NowMs() + options_.silenceTimeoutMs;
  while (auto line = reader_.Next()) {
    if (auto m = Parse(*line)) OnMessage(*m);
    if (!failure_.empty() || !helper_.Started()) return;
  }
  if (closed) GiveUp("stopped", false);
}

// The helper's time is up when it has said nothing since the deadline (and the plug-in was not
// busy with what it said).
void Presenter::Tick() {
  if (reading_ || !failure_.empty() || NowMs() < deadline_) return;
  ReadHelper();
  if (!failure_.empty() || NowMs() < deadline_) return;
  int ms = ready_ ? options_.silenceTimeoutMs : options_.startTimeoutMs;
  GiveUp((ready_ ? "did not answer for " : "did not start within ") + std::to_string(ms) + " ms",
         true);
}

void Presenter::OnMessage(const Message& m) {
  if (m.verb == Verb::Ready) {
    ready_ = m.numbers[0] == kProtocolVersion;
    if (!ready_) GiveUp("speaks protocol " + std::to_string(m.numbers[0]), true);
    return;
  }
  Session* s = session_;
  if (!s || s->done || !s->serial || m.numbers.empty() ||
      m.numbers[0] != static_cast<int64_t>(s->serial))
    return;  // not for the menu or dialog open now
  if (m.verb == Verb::Chosen && !s->dialog) {
    s->chosen = static_cast<win::UINT_PTR>(m.numbers[1]);
    s->done = true;
  } else if ((m.verb == Verb::Click || m.verb == Verb::Key || m.verb == Verb::Close) && s->dialog) {
    OnDialogInput(m);
  }
}

// Input reaches the dialog procedure as the dialog manager delivers it; then the helper takes
// the dialog down or shows the states the procedure left.
void Presenter::OnDialogInput(const Message& m) {
  Session& s = *session_;
  win::Desktop* desktop = win::Desktop::Current();
  if (m.verb == Verb::Click) {
    desktop->ClickDialogControl(s.dialog, static_cast<int>(m.numbers[1]));
  } else if (m.verb == Verb::Key) {
    desktop->PressDialogKey(s.dialog, static_cast<win::UINT>(m.numbers[1]));
  } else {
    desktop->CloseDialog(s.dialog);
  }
  if (s.done) return;  // the owner went away while the procedure ran
  const win::Dialog* rec = desktop->FindDialog(s.dialog);
  if (!rec || rec->ended) {
    s.done = true;
    Send(Make(Verb::End, {static_cast<int64_t>(s.serial)}));
    return;
  }
  if (!SendDialogStates(s, Verb::Update)) GiveUp("stopped", false);
}

// kill: the helper hangs; else it has gone or is going, and gets a moment to finish so that the
// trace line can say how it ended.
void Presenter::GiveUp(const std::string& why, bool kill) {
  if (kill) {
    helper_.Kill();
  } else {
    helper_.Stop(200);
  }
  failure_ = why + " (" + helper_.Ended() + ")";
  ready_ = false;
  reader_ = LineReader();
}

void Presenter::Report(const Owner& owner, const std::string& what) const {
  std::string line = std::string("! ") + kHelperName + ": " + what;
  std::fprintf(stderr, "%s\n", line.c_str());
  if (owner.trace) owner.trace(line.c_str());
}

std::string HelperBesideModule() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&HelperBesideModule), &info) || !info.dli_fname)
    return kHelperName;
  std::string path = info.dli_fname;
  size_t slash = path.rfind('/');
  return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + kHelperName;
}

}  // namespace gtkui
