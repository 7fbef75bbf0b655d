// The editing module's exports for the editor page (web/edit/edit.js): one Session, strings in
// as UTF-8, JSON out. A returned string stays valid until the next call.
#include <emscripten/emscripten.h>

#include <string>

#include "editing/session.h"

namespace {

klp::editing::Session& TheSession() {
  static klp::editing::Session session;
  return session;
}

const char* Result(std::string text) {
  static std::string last;
  last = std::move(text);
  return last.c_str();
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* klp_edit_open(const char* text) {
  return Result(TheSession().Open(text));
}
EMSCRIPTEN_KEEPALIVE void klp_edit_forget() { TheSession().Forget(); }
EMSCRIPTEN_KEEPALIVE void klp_edit_clear(const char* version, const char* source) {
  TheSession().Clear(version, source);
}
EMSCRIPTEN_KEEPALIVE void klp_edit_add_marker(const char* name, int frame) {
  TheSession().AddMarker(name, frame);
}
EMSCRIPTEN_KEEPALIVE void klp_edit_add_event(const char* name, int frame, const char* kind,
                                             const char* params) {
  TheSession().AddEvent(name, frame, kind, params);
}
EMSCRIPTEN_KEEPALIVE void klp_edit_add_hot_spot(const char* name, const char* link,
                                                const char* shape, int start, int end) {
  TheSession().AddHotSpot(name, link, shape, start, end);
}
EMSCRIPTEN_KEEPALIVE void klp_edit_add_key_frame(int frame, int left, int top, int right,
                                                 int bottom) {
  TheSession().AddKeyFrame(frame, left, top, right, bottom);
}
EMSCRIPTEN_KEEPALIVE void klp_edit_add_link(const char* name, const char* kind,
                                            const char* seekParam, const char* playerParam,
                                            const char* url, const char* urlTarget,
                                            const char* extra) {
  TheSession().AddLink(name, kind, seekParam, playerParam, url, urlTarget, extra);
}
EMSCRIPTEN_KEEPALIVE void klp_edit_add_effect(const char* name, int frameColor,
                                              int highlightColor, int lineWidth, int visibility) {
  TheSession().AddEffect(name, frameColor, highlightColor, lineWidth, visibility);
}
EMSCRIPTEN_KEEPALIVE const char* klp_edit_write(int playable) {
  return Result(TheSession().Write(playable != 0));
}
// frames < 0: unknown.
EMSCRIPTEN_KEEPALIVE const char* klp_edit_lint(double frames, int width, int height) {
  return Result(TheSession().Lint(static_cast<int64_t>(frames), width, height));
}
// Five 32-bit integers: what AnchorAt answers, then left, top, right, bottom.
EMSCRIPTEN_KEEPALIVE const int* klp_edit_anchor_at(int index, int frame) {
  static int out[5];
  anchors::Rect rect;
  out[0] = TheSession().AnchorAt(index, frame, &rect);
  out[1] = rect.left;
  out[2] = rect.top;
  out[3] = rect.right;
  out[4] = rect.bottom;
  return out;
}

}  // extern "C"
