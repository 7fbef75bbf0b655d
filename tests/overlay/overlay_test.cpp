// The anchor overlay filter as a COM object: the interfaces it answers, reference counts, the
// method-table slots, its own copy of key frames, visibility and colour changes, Refresh through
// the graph's host, and anchor removal.
#include <gtest/gtest.h>

#include <vector>

#include "overlay/anchor_overlay.h"
#include "platform/dshow/dshow.h"
#include "platform/gst/frame_filter.h"
#include "tests/overlay/frame_image.h"

namespace {

using namespace dshow;
using klp::test::FrameImage;
using klp::test::kGrey;

struct CountingHost final : media::IVideoFrameHost {
  virtual ~CountingHost() = default;
  int redraws = 0;
  void RedrawFrame() override { ++redraws; }
};

class OverlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    live_ = overlay::LiveOverlays();
    unknown_ = overlay::CreateAnchorOverlay();
    ASSERT_EQ(unknown_->QueryInterface(IID_IAnchorOverlay, reinterpret_cast<void**>(&o_)),
              com::S_OK);
    ASSERT_EQ(unknown_->QueryInterface(media::IID_IVideoFrameFilter,
                                       reinterpret_cast<void**>(&filter_)),
              com::S_OK);
  }
  void TearDown() override {
    filter_->Release();
    o_->Release();
    EXPECT_EQ(unknown_->Release(), 0u);
    EXPECT_EQ(overlay::LiveOverlays(), live_);
  }

  // The anchors drawn at frame into a grey 40 x 30 picture.
  FrameImage Drawn(int32_t frame = 0) {
    FrameImage img(40, 30);
    img.frame().number = frame;
    filter_->TransformFrame(img.frame());
    return img;
  }

  int live_ = 0;
  com::IUnknown* unknown_ = nullptr;
  IAnchorOverlay* o_ = nullptr;
  media::IVideoFrameFilter* filter_ = nullptr;
};

TEST_F(OverlayTest, AnswersItsInterfacesWithOneIdentity) {
  void* p = nullptr;
  EXPECT_EQ(o_->QueryInterface(IID_IGraphBuilder, &p), com::E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  com::IUnknown* a = nullptr;
  com::IUnknown* b = nullptr;
  ASSERT_EQ(o_->QueryInterface(com::IID_IUnknown, reinterpret_cast<void**>(&a)), com::S_OK);
  ASSERT_EQ(filter_->QueryInterface(com::IID_IUnknown, reinterpret_cast<void**>(&b)), com::S_OK);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, unknown_);
  IBaseFilter* base = nullptr;
  ASSERT_EQ(a->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&base)), com::S_OK);
  // Three references taken here, three interfaces held by the fixture.
  EXPECT_EQ(base->Release(), 5u);
  EXPECT_EQ(b->Release(), 4u);
  EXPECT_EQ(a->Release(), 3u);
  EXPECT_EQ(o_->QueryInterface(IID_IAnchorOverlay, nullptr), com::E_POINTER);
}

TEST_F(OverlayTest, CallsThroughTheMethodTableSlots) {
  auto table = *reinterpret_cast<void* const* const*>(o_);
  using CreateFn = int32_t (*)(IAnchorOverlay*, int32_t, int32_t, int32_t);
  using KeysFn = com::HRESULT (*)(IAnchorOverlay*, int32_t, const AnchorKeyFrame*, int32_t);
  using ShowAllFn = com::HRESULT (*)(IAnchorOverlay*, int32_t);
  using PlainFn = com::HRESULT (*)(IAnchorOverlay*);
  int32_t id = reinterpret_cast<CreateFn>(table[11])(o_, 1, 0x00FF00, SHAPE_RECT);
  EXPECT_EQ(id, 1);
  EXPECT_EQ(reinterpret_cast<CreateFn>(table[11])(o_, 1, 0x00FF00, SHAPE_RECT), 2);
  AnchorKeyFrame key{0, 2, 2, 8, 8};
  EXPECT_EQ(reinterpret_cast<KeysFn>(table[13])(o_, id, &key, 1), com::S_OK);
  EXPECT_EQ(Drawn().At(2, 2), 0x00FF00u);
  EXPECT_EQ(reinterpret_cast<ShowAllFn>(table[17])(o_, 0), com::S_OK);
  EXPECT_EQ(Drawn().Changed(), 0);
  for (int slot : {4, 5, 6, 7, 8, 9, 10, 12, 14})
    EXPECT_EQ(reinterpret_cast<PlainFn>(table[slot])(o_), com::E_NOTIMPL) << slot;
}

TEST_F(OverlayTest, KeepsItsOwnCopyOfKeyFrames) {
  int32_t id = o_->CreateAnchor(1, 0x0000FF, SHAPE_RECT);
  std::vector<AnchorKeyFrame> keys = {{0, 2, 2, 8, 8}};
  ASSERT_EQ(o_->SetKeyFrames(id, keys.data(), 1), com::S_OK);
  keys = {{0, 20, 20, 30, 25}};
  keys.shrink_to_fit();
  EXPECT_EQ(Drawn().At(2, 2), 0x0000FFu);
  EXPECT_EQ(Drawn().At(20, 20), kGrey);
  // Without key frames an anchor is not drawn.
  ASSERT_EQ(o_->SetKeyFrames(id, nullptr, 0), com::S_OK);
  EXPECT_EQ(Drawn().Changed(), 0);
}

TEST_F(OverlayTest, RefusesUnknownIdsAndBadArrays) {
  AnchorKeyFrame key{0, 0, 0, 1, 1};
  EXPECT_EQ(o_->SetKeyFrames(7, &key, 1), com::E_INVALIDARG);
  int32_t id = o_->CreateAnchor(1, 0, SHAPE_RECT);
  EXPECT_EQ(o_->SetKeyFrames(id, &key, -1), com::E_INVALIDARG);
  EXPECT_EQ(o_->SetKeyFrames(id, nullptr, 2), com::E_POINTER);
  EXPECT_EQ(o_->SetAnchorColor(id + 1, 0), com::E_INVALIDARG);
  EXPECT_EQ(o_->ShowAnchor(0, 1), com::E_INVALIDARG);
}

TEST_F(OverlayTest, ShowsHidesAndRecoloursAnchors) {
  int32_t a = o_->CreateAnchor(1, 0x0000FF, SHAPE_RECT);
  int32_t b = o_->CreateAnchor(1, 0x0000FF, SHAPE_ELLIPSE);
  AnchorKeyFrame ka{0, 1, 1, 10, 10}, kb{0, 20, 1, 30, 11};
  o_->SetKeyFrames(a, &ka, 1);
  o_->SetKeyFrames(b, &kb, 1);
  EXPECT_EQ(Drawn().At(1, 1), 0x0000FFu);
  EXPECT_EQ(Drawn().At(25, 1), 0x0000FFu);

  EXPECT_EQ(o_->ShowAnchor(a, 0), com::S_OK);
  EXPECT_EQ(Drawn().At(1, 1), kGrey);
  EXPECT_EQ(Drawn().At(25, 1), 0x0000FFu);
  EXPECT_EQ(o_->ShowAnchor(a, 1), com::S_OK);

  EXPECT_EQ(o_->SetAnchorColor(b, 0xFF0000), com::S_OK);
  EXPECT_EQ(Drawn().At(25, 1), 0xFF0000u);
  EXPECT_EQ(Drawn().At(1, 1), 0x0000FFu);

  o_->ShowAllAnchors(0);
  EXPECT_EQ(Drawn().Changed(), 0);
  o_->ShowAllAnchors(1);  // each anchor's own setting still holds
  o_->ShowAnchor(b, 0);
  EXPECT_EQ(Drawn().At(1, 1), 0x0000FFu);
  EXPECT_EQ(Drawn().At(25, 1), kGrey);
}

TEST_F(OverlayTest, RefreshAsksTheAttachedHostToRedraw) {
  CountingHost host;
  EXPECT_EQ(o_->Refresh(), com::S_OK);  // no host: nothing to do
  filter_->AttachHost(&host);
  o_->Refresh();
  o_->Refresh();
  EXPECT_EQ(host.redraws, 2);
  filter_->AttachHost(nullptr);
  o_->Refresh();
  EXPECT_EQ(host.redraws, 2);
}

TEST_F(OverlayTest, RemoveAllAnchorsClearsThemAndIdsAreNotReused) {
  int32_t a = o_->CreateAnchor(2, 0x00FF00, SHAPE_RECT);
  AnchorKeyFrame k{0, 1, 1, 10, 10};
  o_->SetKeyFrames(a, &k, 1);
  EXPECT_EQ(o_->RemoveAllAnchors(), com::S_OK);
  EXPECT_EQ(Drawn().Changed(), 0);
  EXPECT_EQ(o_->SetAnchorColor(a, 0), com::E_INVALIDARG);
  EXPECT_GT(o_->CreateAnchor(2, 0x00FF00, SHAPE_RECT), a);
}

TEST(OverlayRegistration, CoCreateInstanceMakesTheFilter) {
  overlay::Register();
  IBaseFilter* f = nullptr;
  ASSERT_EQ(com::CoCreateInstance(CLSID_AnchorOverlay, nullptr, com::CLSCTX_INPROC_SERVER,
                                  IID_IBaseFilter, reinterpret_cast<void**>(&f)),
            com::S_OK);
  IAnchorOverlay* o = nullptr;
  ASSERT_EQ(f->QueryInterface(IID_IAnchorOverlay, reinterpret_cast<void**>(&o)), com::S_OK);
  EXPECT_EQ(f->Release(), 1u);
  EXPECT_EQ(o->Release(), 0u);
  com::RevokeClassObject(CLSID_AnchorOverlay);
}

}  // namespace
