#include "platform/sim/sim_desktop.h"

#include <algorithm>

namespace sim {
namespace {
constexpr const char* kBrowserClass = "SimBrowserWindow";
SimDesktop* g_sim = nullptr;
}  // namespace

SimDesktop::SimDesktop() {
  SetCurrent(this);
  g_sim = this;
  win::WNDCLASSA wc{};
  wc.lpfnWndProc = &SimDesktop::BrowserProc;
  wc.lpszClassName = kBrowserClass;
  win::RegisterClassA(&wc);
}

SimDesktop::~SimDesktop() {
  if (g_sim == this) g_sim = nullptr;
}

SimDesktop::CallId SimDesktop::CallAt(win::DWORD at, std::function<void()> fn) {
  CallId id = nextId_++;
  calls_.emplace(std::make_pair(std::max(at, now_), id), Call{id, std::move(fn)});
  return id;
}

void SimDesktop::Cancel(CallId id) {
  for (auto it = calls_.begin(); it != calls_.end(); ++it) {
    if (it->second.id == id) {
      calls_.erase(it);
      return;
    }
  }
}

bool SimDesktop::RunNextDue(win::DWORD limit) {
  if (calls_.empty() || calls_.begin()->first.first > limit) return false;
  auto it = calls_.begin();
  now_ = it->first.first;
  auto fn = std::move(it->second.fn);
  calls_.erase(it);
  fn();
  return true;
}

void SimDesktop::RunFor(win::DWORD ms) {
  win::DWORD target = now_ + ms;
  do {
    DispatchPosted();
  } while (RunNextDue(target));
  now_ = std::max(now_, target);  // a modal loop inside a step may have run the clock further
  DispatchPosted();
}

void SimDesktop::RunUntilIdle() {
  do {
    DispatchPosted();
  } while (RunNextDue(now_));
}

win::HWND SimDesktop::CreateBrowserWindow(int x, int y, int width, int height) {
  return win::CreateWindowExA(0, kBrowserClass, "", win::WS_VISIBLE, x, y, width, height, nullptr,
                              nullptr, nullptr, nullptr);
}

win::LRESULT SimDesktop::BrowserProc(win::HWND hwnd, win::UINT msg, win::WPARAM wp,
                                     win::LPARAM lp) {
  if (g_sim) g_sim->browserLog_.push_back(win::MSG{hwnd, msg, wp, lp, g_sim->now_, {0, 0}});
  return win::DefWindowProcA(hwnd, msg, wp, lp);
}

Surface* SimDesktop::SurfaceOf(win::HWND hwnd) {
  auto it = surfaces_.find(hwnd);
  return it == surfaces_.end() ? nullptr : it->second.get();
}

bool SimDesktop::TimerActive(win::HWND hwnd, win::UINT_PTR id) const {
  return timerCalls_.count({hwnd, id}) != 0;
}

void SimDesktop::ScheduleTimer(win::HWND hwnd, win::UINT_PTR id, win::UINT elapseMs) {
  timerCalls_[{hwnd, id}] = CallAt(now_ + elapseMs, [this, hwnd, id, elapseMs] {
    // Re-arm first: the handler may kill or reset the timer.
    ScheduleTimer(hwnd, id, elapseMs);
    FireTimer(hwnd, id);
  });
}

void SimDesktop::StartTimer(win::HWND hwnd, win::UINT_PTR id, win::UINT elapseMs) {
  ScheduleTimer(hwnd, id, elapseMs);
}

void SimDesktop::StopTimer(win::HWND hwnd, win::UINT_PTR id) {
  auto it = timerCalls_.find({hwnd, id});
  if (it == timerCalls_.end()) return;
  Cancel(it->second);
  timerCalls_.erase(it);
}

void SimDesktop::WindowCreated(win::Window& window) {
  auto s = std::make_unique<Surface>();
  s->width = window.rect.right - window.rect.left;
  s->height = window.rect.bottom - window.rect.top;
  s->pixels.assign(static_cast<size_t>(s->width) * static_cast<size_t>(s->height), 0);
  surfaces_[window.handle] = std::move(s);
}

void SimDesktop::WindowDestroyed(win::Window& window) { surfaces_.erase(window.handle); }

void SimDesktop::QueueMenuChoice(win::UINT_PTR command, std::function<void()> whileOpen) {
  menuAnswers_.push_back(MenuAnswer{command, std::move(whileOpen)});
}

win::UINT_PTR SimDesktop::TrackMenu(const win::Menu& menu, win::UINT flags, win::POINT screen,
                                    win::HWND owner) {
  MenuAnswer answer{0, {}};
  if (!menuAnswers_.empty()) {
    answer = std::move(menuAnswers_.front());
    menuAnswers_.pop_front();
  }
  menusShown_.push_back(ShownMenu{menu.items, screen, flags, owner, answer.command});
  if (answer.whileOpen) answer.whileOpen();
  return answer.command;
}

SimDesktop::DialogScript& SimDesktop::DialogScript::Click(int controlId) {
  steps_.push_back([controlId](SimDesktop& d, win::HWND h) { d.ClickDialogControl(h, controlId); });
  return *this;
}

SimDesktop::DialogScript& SimDesktop::DialogScript::Enter() {
  steps_.push_back([](SimDesktop& d, win::HWND h) { d.PressDialogKey(h, win::VK_RETURN); });
  return *this;
}

SimDesktop::DialogScript& SimDesktop::DialogScript::Escape() {
  steps_.push_back([](SimDesktop& d, win::HWND h) { d.PressDialogKey(h, win::VK_ESCAPE); });
  return *this;
}

SimDesktop::DialogScript& SimDesktop::DialogScript::CloseBox() {
  steps_.push_back([](SimDesktop& d, win::HWND h) { d.CloseDialog(h); });
  return *this;
}

SimDesktop::DialogScript& SimDesktop::DialogScript::Then(std::function<void(win::HWND)> fn) {
  steps_.push_back([fn = std::move(fn)](SimDesktop&, win::HWND h) { fn(h); });
  return *this;
}

void SimDesktop::QueueDialog(DialogScript script) { dialogScripts_.push_back(std::move(script)); }

bool SimDesktop::RunDialog(win::HWND dialog) {
  DialogScript script;
  if (!dialogScripts_.empty()) {
    script = std::move(dialogScripts_.front());
    dialogScripts_.pop_front();
  }
  const win::Dialog* rec = FindDialog(dialog);
  ShownDialog shown;
  shown.templateId = rec->tmpl->id;
  shown.caption = rec->tmpl->caption;
  shown.owner = rec->owner;
  shown.rect = Find(dialog)->rect;
  shown.checksShown = rec->checks;
  size_t index = dialogsShown_.size();
  dialogsShown_.push_back(std::move(shown));
  if (dialogsLinger_) return true;
  size_t played = 0;
  for (auto& step : script.steps_) {
    rec = FindDialog(dialog);
    if (!rec || rec->ended) break;
    step(*this, dialog);
    ++played;
  }
  ShownDialog& done = dialogsShown_[index];
  done.stepsPlayed = played;
  if ((rec = FindDialog(dialog))) {
    done.checksAtEnd = rec->checks;
    done.ended = rec->ended;
    done.result = rec->result;
  }
  return false;
}

short SimDesktop::KeyState(int vk) {
  return vk == static_cast<int>(win::VK_SHIFT) && shift_ ? static_cast<short>(-0x8000) : 0;
}

void SimDesktop::FocusRectShown(win::HWND, const win::RECT* r, bool ellipse, const char* name) {
  if (!r) {
    focusRings_.push_back("none");
    return;
  }
  focusRings_.push_back(std::to_string(r->left) + "," + std::to_string(r->top) + "," +
                        std::to_string(r->right) + "," + std::to_string(r->bottom) +
                        (ellipse ? " ellipse " : " ") + name);
}

void SimDesktop::PassedAnnounced(win::HWND, const char* kind, const char* name) {
  announcements_.push_back(std::string(kind) + " " + name);
}

win::HDC SimDesktop::PaintSurface(win::Window& window) {
  Surface* s = SurfaceOf(window.handle);
  if (!s) return nullptr;
  int w = window.rect.right - window.rect.left, h = window.rect.bottom - window.rect.top;
  if (w != s->width || h != s->height) {  // the window was moved or resized
    s->width = w;
    s->height = h;
    s->pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  }
  ++s->paints;
  return reinterpret_cast<win::HDC>(s);
}

}  // namespace sim
