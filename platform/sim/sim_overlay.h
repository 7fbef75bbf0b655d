// SimOverlay: the anchor overlay filter for tests. It draws nothing; it records every
// IAnchorOverlay call with its arguments and keeps the anchors it was given, so tests can check
// what the player handed over. Registered by SimMedia (sim_graph.h).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/dshow/dshow.h"
#include "platform/sim/sim_graph.h"

namespace sim {

struct OverlayCall {
  std::string method;                            // "CreateAnchor"
  std::vector<int32_t> args;                     // the 32-bit arguments, in order
  std::vector<dshow::AnchorKeyFrame> keyFrames;  // SetKeyFrames: the copied array
  int32_t result = 0;                            // the id for CreateAnchor, else the HRESULT
};

struct OverlayAnchor {
  int32_t lineWidth = 0;
  int32_t colour = 0;
  int32_t shape = 0;
  bool shown = true;
  std::vector<dshow::AnchorKeyFrame> keyFrames;
};

class SimOverlay final : public SimComObject,
                         public ComPart<com::IUnknown, SimOverlay>,
                         public ComPart<dshow::IBaseFilter, SimOverlay>,
                         public ComPart<dshow::IAnchorOverlay, SimOverlay> {
 public:
  // Created holding one reference; without a context it gets its own.
  explicit SimOverlay(std::shared_ptr<MediaContext> ctx = nullptr);

  static int LiveCount();
  com::IUnknown* Unknown() { return static_cast<ComPart<com::IUnknown, SimOverlay>*>(this); }
  Faults& faults() override { return context().overlayFaults; }

  // --- Inspection -----------------------------------------------------------------------------
  const std::vector<OverlayCall>& calls() const { return calls_; }
  const std::map<int32_t, OverlayAnchor>& anchors() const { return anchors_; }
  bool allShown() const { return allShown_; }
  int refreshes() const { return refreshes_; }

  // --- IAnchorOverlay --------------------------------------------------------------------------
  // Ids start at 1 and are never reused. An injected CreateAnchor result is returned as the id.
  com::HRESULT Refresh() override;
  int32_t CreateAnchor(int32_t lineWidth, int32_t colour, int32_t shape) override;
  com::HRESULT SetKeyFrames(int32_t id, const dshow::AnchorKeyFrame* frames,
                            int32_t count) override;
  com::HRESULT SetAnchorColor(int32_t id, int32_t colour) override;
  com::HRESULT ShowAnchor(int32_t id, int32_t show) override;
  com::HRESULT ShowAllAnchors(int32_t show) override;
  com::HRESULT RemoveAllAnchors() override;
  // The slots the player never calls answer E_NOTIMPL (and are recorded).
  com::HRESULT Reserved4() override { return Unused("Reserved4"); }
  com::HRESULT Reserved5() override { return Unused("Reserved5"); }
  com::HRESULT Reserved6() override { return Unused("Reserved6"); }
  com::HRESULT Reserved7() override { return Unused("Reserved7"); }
  com::HRESULT Reserved8() override { return Unused("Reserved8"); }
  com::HRESULT Reserved9() override { return Unused("Reserved9"); }
  com::HRESULT Reserved10() override { return Unused("Reserved10"); }
  com::HRESULT Reserved12() override { return Unused("Reserved12"); }
  com::HRESULT Reserved14() override { return Unused("Reserved14"); }

 private:
  ~SimOverlay() override;
  void* Find(const com::IID& iid, const char** name) override;

  // Records the call, then runs it through SimComObject::Call.
  template <class Body>
  com::HRESULT Note(const char* method, std::vector<int32_t> args,
                    std::vector<dshow::AnchorKeyFrame> keyFrames, Body&& body);
  com::HRESULT Unused(const char* method);
  OverlayAnchor* FindAnchor(int32_t id);

  std::vector<OverlayCall> calls_;
  std::map<int32_t, OverlayAnchor> anchors_;
  int32_t nextId_ = 1;
  bool allShown_ = true;
  int refreshes_ = 0;
};

}  // namespace sim
