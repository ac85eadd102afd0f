#include <gtest/gtest.h>

#include "ui/skin.h"

namespace devstart {
namespace {

TEST(Skin, FrameFollowsDisabledThenPressedThenHover) {
  const struct {
    bool disabled, pressed, hover;
    Frame frame;
    std::uint32_t caption;
  } cases[] = {
      {false, false, false, Frame::kNormal, 0x000000},   {false, false, true, Frame::kHover, 0x000000},
      {false, true, false, Frame::kPressed, 0x000000},   {false, true, true, Frame::kPressed, 0x000000},
      {true, false, false, Frame::kDisabled, 0xC8C8C8},  {true, false, true, Frame::kDisabled, 0xC8C8C8},
      {true, true, true, Frame::kDisabled, 0xC8C8C8},
  };
  for (const auto& c : cases) {
    Frame f = ChooseFrame(c.disabled, c.pressed, c.hover);
    EXPECT_EQ(f, c.frame) << c.disabled << c.pressed << c.hover;
    EXPECT_EQ(CaptionColour(f), c.caption) << c.disabled << c.pressed << c.hover;
  }
}

TEST(Skin, ButtonsArePlacedForTheirStrips) {
  EXPECT_EQ(CancelButtonRect(320, 28), (SkinRect{175, 222, 255, 250}));
  EXPECT_EQ(GuideCloseRect(64, 16), (SkinRect{454, 8, 470, 24}));
  EXPECT_EQ(GuideDownloadRect(400, 28), (SkinRect{135, 222, 235, 250}));
  EXPECT_EQ(GuideOkRect(400, 28), (SkinRect{245, 222, 345, 250}));
  // A strip that did not load sizes nothing.
  EXPECT_EQ(CancelButtonRect(0, 0), (SkinRect{215, 250, 215, 250}));
  // Odd widths truncate toward zero.
  EXPECT_EQ(CancelButtonRect(322, 30), (SkinRect{175, 220, 255, 250}));
}

TEST(Skin, HoverTrackingAlwaysAsksForTheLeave) {
  EXPECT_EQ(TrackRequest(0), 0x3u);  // hover and leave
  EXPECT_EQ(TrackRequest(1), 0x2u);  // leave only
}

TEST(Skin, OnlyALeftButtonDragMovesTheWindow) {
  EXPECT_FALSE(StartsDrag(0x0));
  EXPECT_FALSE(StartsDrag(0x2));   // right button
  EXPECT_FALSE(StartsDrag(0x10));  // middle button
  EXPECT_TRUE(StartsDrag(0x1));
  EXPECT_TRUE(StartsDrag(0x9));    // left with Ctrl
}

TEST(Skin, CaptionsKeepAtMost255Characters) {
  EXPECT_EQ(ButtonCaption(std::wstring(300, L'x')).size(), 255u);
  EXPECT_EQ(ButtonCaption(L"Cancel"), L"Cancel");
}

}  // namespace
}  // namespace devstart
