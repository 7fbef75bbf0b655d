// The media element in the web host: the graph's calls go to the host's script (the imports
// below, defined by the host's library), and the host's notices come back through the exports.
#include <emscripten.h>

#include <map>

#include "platform/dshow/dshow.h"
#include "platform/webgraph/media_element.h"

extern "C" {
// Takes the element the host loaded for path: its id (> 0), with width, height and duration
// written; else 0 with *status set to why.
int32_t klp_media_open(const char* path, int32_t* width, int32_t* height, double* duration,
                       int32_t* status);
void klp_media_play(int32_t id);
void klp_media_pause(int32_t id);
void klp_media_seek(int32_t id, double seconds, uint32_t serial);
void klp_media_place(int32_t id, int32_t left, int32_t top, int32_t width, int32_t height,
                     int32_t visible);
void klp_media_sprite(int32_t id, int32_t index, const uint8_t* rgba, int32_t width,
                      int32_t height);
void klp_media_sprites(int32_t id, const int32_t* positions, int32_t count);
void klp_media_close(int32_t id);
}

namespace webgraph {
namespace {

std::map<int32_t, MediaListener*> g_listeners;

MediaListener* ListenerOf(int32_t id) {
  auto it = g_listeners.find(id);
  return it == g_listeners.end() ? nullptr : it->second;
}

class HostElement final : public MediaElement {
 public:
  HostElement(int32_t id, MediaInfo info) : id_(id), info_(info) {}
  ~HostElement() override {
    g_listeners.erase(id_);
    klp_media_close(id_);
  }
  MediaInfo Info() const override { return info_; }
  void Play() override { klp_media_play(id_); }
  void Pause() override { klp_media_pause(id_); }
  void Seek(double seconds, uint32_t serial) override { klp_media_seek(id_, seconds, serial); }
  void Place(int32_t left, int32_t top, int32_t width, int32_t height, bool visible) override {
    klp_media_place(id_, left, top, width, height, visible ? 1 : 0);
  }
  void SetSprite(int32_t index, const uint8_t* rgba, int32_t width, int32_t height) override {
    klp_media_sprite(id_, index, rgba, width, height);
  }
  void PlaceSprites(const int32_t* positions, int32_t count) override {
    klp_media_sprites(id_, positions, count);
  }

 private:
  int32_t id_;
  MediaInfo info_;
};

}  // namespace

std::unique_ptr<MediaElement> OpenMediaElement(const char* path, MediaListener* listener,
                                               com::HRESULT* status) {
  MediaInfo info;
  int32_t why = 0;
  int32_t id = klp_media_open(path, &info.width, &info.height, &info.duration, &why);
  if (id <= 0) {
    *status = why < 0 ? why : com::E_FAIL;
    return nullptr;
  }
  g_listeners[id] = listener;
  return std::make_unique<HostElement>(id, info);
}

}  // namespace webgraph

// Notices from the host, on the browser's thread. Those for a closed element are dropped.
extern "C" {
EMSCRIPTEN_KEEPALIVE void klp_media_presented(int32_t id, double mediaTime,
                                              uint32_t completedSeek) {
  if (auto* l = webgraph::ListenerOf(id)) l->FramePresented(mediaTime, completedSeek);
}
EMSCRIPTEN_KEEPALIVE void klp_media_seeked(int32_t id, uint32_t serial, double currentTime) {
  if (auto* l = webgraph::ListenerOf(id)) l->SeekCompleted(serial, currentTime);
}
EMSCRIPTEN_KEEPALIVE void klp_media_ended(int32_t id) {
  if (auto* l = webgraph::ListenerOf(id)) l->Ended();
}
EMSCRIPTEN_KEEPALIVE void klp_media_failed(int32_t id) {
  if (auto* l = webgraph::ListenerOf(id)) l->Failed();
}
}
