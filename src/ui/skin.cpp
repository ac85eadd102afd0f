#include "ui/skin.h"

namespace devstart {

namespace {

constexpr std::uint32_t Rgb(int r, int g, int b) {
  return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) | (static_cast<std::uint32_t>(b) << 16);
}

constexpr std::uint32_t kWhite = Rgb(255, 255, 255);
// Frames sit side by side in a strip.
constexpr int kFrames = 4;

}  // namespace

const TextBlock kStatusLabel{kTextInitializing, {120, 115, 310, 170}, {15, 6}, kWhite, dt::kCenter | dt::kWordBreak};
const TextBlock kNoticeLabel{kTextNotice, {120, 170, 370, 200}, {12, 4}, kWhite, dt::kLeft | dt::kWordBreak};

const std::vector<PicturePlace>& WindowPictures() {
  static const std::vector<PicturePlace> pictures = {
      {kBmpPanel, 20, 40}, {kBmpTitle, 135, 8}, {kBmpLeft, 30, 65}, {kBmpRight, 300, 65}, {kBmpNotice, 90, 160},
  };
  return pictures;
}

const std::vector<TextBlock>& GuideTexts() {
  static const std::vector<TextBlock> blocks = {
      {kTextGuideTitle, {10, 0, 480, 32}, {14, 6}, kWhite, dt::kSingleLine | dt::kVCenter | dt::kLeft},
      {kTextGuideHeading, {0, 32, 480, 72}, {20, 8}, Rgb(31, 144, 152), dt::kSingleLine | dt::kVCenter | dt::kCenter},
      {kTextGuideCd, {150, 110, 480, 130}, {18, 7}, Rgb(87, 96, 103), dt::kSingleLine | dt::kVCenter | dt::kLeft},
      {kTextGuideBody, {150, 140, 470, 220}, {14, 6}, Rgb(88, 95, 101), dt::kWordBreak},
  };
  return blocks;
}

Frame ChooseFrame(bool disabled, bool pressed, bool hover) {
  if (disabled) return Frame::kDisabled;
  if (pressed) return Frame::kPressed;
  return hover ? Frame::kHover : Frame::kNormal;
}

std::uint32_t CaptionColour(Frame frame) { return frame == Frame::kDisabled ? Rgb(200, 200, 200) : Rgb(0, 0, 0); }

SkinRect CancelButtonRect(int strip_width, int strip_height) {
  int w = strip_width / kFrames;
  int left = 215 - (strip_width / 2) / kFrames;
  return {left, 250 - strip_height, left + w, 250};
}

SkinRect GuideCloseRect(int strip_width, int strip_height) {
  int w = strip_width / kFrames;
  return {470 - w, 8, 470, 8 + strip_height};
}

SkinRect GuideDownloadRect(int strip_width, int strip_height) {
  int w = strip_width / kFrames;
  return {235 - w, 250 - strip_height, 235, 250};
}

SkinRect GuideOkRect(int strip_width, int strip_height) {
  int w = strip_width / kFrames;
  return {245, 250 - strip_height, 245 + w, 250};
}

std::wstring ButtonCaption(const std::wstring& text) { return text.substr(0, 255); }

std::uint32_t TrackRequest(int hover_flag) { return kTmeLeave | (hover_flag == 0 ? kTmeHover : 0); }

}  // namespace devstart
