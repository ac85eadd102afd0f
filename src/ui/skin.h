// What the skinned window and dialog look like, as data and small decisions:
// which bitmap goes where, which text block has which font and colour, where
// a button sits for the strip it shows, which frame of the strip a button
// draws. The GDI code only follows these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace devstart {

struct SkinRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const SkinRect&) const = default;
};

// Bitmap resources.
constexpr std::uint32_t kBmpCancel = 163;
constexpr std::uint32_t kBmpClose = 164;
constexpr std::uint32_t kBmpDownload = 165;
constexpr std::uint32_t kBmpOk = 166;
constexpr std::uint32_t kBmpGuidePicture = 168;
constexpr std::uint32_t kBmpRight = 169;
constexpr std::uint32_t kBmpLeft = 170;
constexpr std::uint32_t kBmpTitle = 171;
constexpr std::uint32_t kBmpNotice = 172;
constexpr std::uint32_t kBmpBackground = 174;
constexpr std::uint32_t kBmpGuideBackground = 175;
constexpr std::uint32_t kBmpPanel = 176;

constexpr std::uint32_t kIconProgram = 129;
constexpr std::uint32_t kDialogGuide = 134;

// Controls.
constexpr int kIdGuideOk = 1006;
constexpr int kIdCancel = 1007;
constexpr int kIdGuideClose = 1008;
constexpr int kIdGuideDownload = 1009;
constexpr int kIdAnimation = 1010;

// Texts.
constexpr std::uint32_t kTextTitle = 103;
constexpr std::uint32_t kTextClassName = 106;
constexpr std::uint32_t kTextWrongMode = 2015;
constexpr std::uint32_t kTextCancel = 2100;
constexpr std::uint32_t kTextDownload = 2101;
constexpr std::uint32_t kTextOk = 2102;
constexpr std::uint32_t kTextNotice = 2200;
constexpr std::uint32_t kTextInstallingDriver = 2201;
constexpr std::uint32_t kTextInstallingItk = 2202;
constexpr std::uint32_t kTextRunning = 2203;
constexpr std::uint32_t kTextInitializing = 2204;
constexpr std::uint32_t kTextGuideTitle = 2300;
constexpr std::uint32_t kTextGuideHeading = 2301;
constexpr std::uint32_t kTextGuideCd = 2302;
constexpr std::uint32_t kTextGuideBody = 2303;

// The installer window: 430 x 270, first placed at (10, 10), then at (300, 300).
constexpr int kWindowWidth = 430;
constexpr int kWindowHeight = 270;
constexpr int kWindowX = 300;
constexpr int kWindowY = 300;
// The guide dialog: 480 x 282 at (300, 300).
constexpr int kGuideWidth = 480;
constexpr int kGuideHeight = 282;
// The animation's place in the window.
constexpr SkinRect kAnimationRect{160, 93, 460, 193};

// DrawTextW flags the skin uses.
namespace dt {
constexpr std::uint32_t kLeft = 0x0;
constexpr std::uint32_t kCenter = 0x1;
constexpr std::uint32_t kVCenter = 0x4;
constexpr std::uint32_t kWordBreak = 0x10;
constexpr std::uint32_t kSingleLine = 0x20;
}  // namespace dt

struct SkinFont {
  int height = 0;
  int width = 0;
};
constexpr wchar_t kSkinFace[] = L"Tahoma";
// Every button caption's font.
constexpr SkinFont kButtonFont{14, 5};

// A picture drawn at its own size.
struct PicturePlace {
  std::uint32_t bitmap;
  int x, y;
};

// A text block: which text, where, in which font and colour (0x00BBGGRR),
// drawn with which flags.
struct TextBlock {
  std::uint32_t text;
  SkinRect rect;
  SkinFont font;
  std::uint32_t colour;
  std::uint32_t flags;
};

// The window's pictures over its background, in drawing order.
const std::vector<PicturePlace>& WindowPictures();
// The status line (its text changes with the stage) and the notice.
extern const TextBlock kStatusLabel;
extern const TextBlock kNoticeLabel;
// The guide dialog's picture and its four text blocks in drawing order.
constexpr PicturePlace kGuidePicture{kBmpGuidePicture, 20, 100};
const std::vector<TextBlock>& GuideTexts();

// Frames of a button strip, left to right.
enum class Frame : int { kNormal = 0, kHover = 1, kPressed = 2, kDisabled = 3 };
Frame ChooseFrame(bool disabled, bool pressed, bool hover);
// Caption colour for a frame: black, grey when disabled.
std::uint32_t CaptionColour(Frame frame);

// Button places for a strip of `strip_width` x `strip_height` (four frames).
SkinRect CancelButtonRect(int strip_width, int strip_height);
SkinRect GuideCloseRect(int strip_width, int strip_height);
SkinRect GuideDownloadRect(int strip_width, int strip_height);
SkinRect GuideOkRect(int strip_width, int strip_height);

// A caption as a 256-character buffer holds it.
std::wstring ButtonCaption(const std::wstring& text);

// TrackMouseEvent requests for a mouse move over a button: the leave
// notification always (a pointer that rests and then jumps out must still
// turn the hover off), the hover notification while not hovering yet.
constexpr std::uint32_t kTmeHover = 0x1;
constexpr std::uint32_t kTmeLeave = 0x2;
constexpr std::uint32_t kHoverTimeMs = 20;
std::uint32_t TrackRequest(int hover_flag);

// A mouse move drags the borderless window only while the left button is
// down: the move command with no button pressed would start a move loop
// that follows any passing pointer.
constexpr std::uintptr_t kMkLButton = 0x1;
constexpr std::uintptr_t kScDragMove = 0xF012;
inline bool StartsDrag(std::uintptr_t mouse_keys) { return (mouse_keys & kMkLButton) != 0; }

}  // namespace devstart
