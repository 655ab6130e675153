#pragma once

#include <array>
#include <cstdint>

#include "graphics/color.h"
#include "graphics/gradient_fill.h"

namespace tessapak::controls {

// The colours of the button's looks, 0x00BBGGRR, written as #RRGGBB through
// hexColor so that they read like the design they come from.

using graphics::hexColor;

// Up to eight one-pixel lines just inside the outline, drawn L1 to L8.
struct RingColors {
    std::array<std::uint32_t, 8> line;
    int count;  // lines drawn, from L1
};

struct ColorSet {
    std::uint32_t faceTop;
    std::uint32_t faceBottom;
    std::uint32_t outline;
    std::uint32_t pressedTop;
    std::uint32_t pressedBottom;
    RingColors hover;
    RingColors focus;
    RingColors pressed;
};

// The hover ring is shared by xpBlue and xpSilver.
inline constexpr RingColors kBlueSilverHoverRing{
    {hexColor(0xFFF0CF), hexColor(0xFAC358), hexColor(0xE59700), hexColor(0xFCCA69),
     hexColor(0xFDD889), hexColor(0xFBC860), hexColor(0xF8B330), hexColor(0xFAC761)},
    8};

inline constexpr ColorSet kXpBlueColors{
    hexColor(0xFCFCFB),
    hexColor(0xF0F0EA),
    hexColor(0x003C74),
    hexColor(0xE5E4DD),
    hexColor(0xE2E2DA),
    kBlueSilverHoverRing,
    {{hexColor(0xCEE7FF), hexColor(0x9CBBEA), hexColor(0x6982EE), hexColor(0x9CBBEB),
      hexColor(0xBCD4F6), hexColor(0x9DBCEB), hexColor(0x89ADE4), hexColor(0x9DBBEB)},
     8},
    {{hexColor(0xD1CCC1), hexColor(0xD7D4CB), hexColor(0xF2F1EE), hexColor(0xE4E3DB),
      hexColor(0xDCD8CF), hexColor(0xDDDBD3), hexColor(0xEAE9E3), hexColor(0xE3E2DB)},
     8},
};

inline constexpr ColorSet kXpSilverColors{
    hexColor(0xFFFFFF),
    hexColor(0xC6C5D7),
    hexColor(0x003C74),
    hexColor(0xACABBD),
    hexColor(0xFFFFFF),
    kBlueSilverHoverRing,
    {{hexColor(0xCEE7FF), hexColor(0xA0BEEC), hexColor(0x6982EE), hexColor(0x9CBBEB),
      hexColor(0xBCD4F6), hexColor(0xFFFFFF), hexColor(0x89ADE4), hexColor(0xFFFFFF)},
     8},
    // Only the outer ring, all white.
    {{hexColor(0xFFFFFF), hexColor(0xFFFFFF), hexColor(0xFFFFFF), hexColor(0xFFFFFF), 0, 0, 0, 0},
     4},
};

inline constexpr ColorSet kXpOliveColors{
    hexColor(0xFEFFF2),
    hexColor(0xF3EEDB),
    hexColor(0x376206),
    hexColor(0xEEE6D2),
    hexColor(0xECE4CE),
    {{hexColor(0xFCC595), hexColor(0xE8AA76), hexColor(0xCF7225), hexColor(0xE7A66F),
      hexColor(0xEDBE96), hexColor(0xE7A66F), hexColor(0xE3914F), hexColor(0xE7AB77)},
     8},
    {{hexColor(0xC2D18F), hexColor(0xA0C767), hexColor(0xA8A766), hexColor(0xA1C668),
      hexColor(0xB1CB80), hexColor(0x9BC45F), hexColor(0x90C154), hexColor(0x98C35D)},
     8},
    {{hexColor(0xDFCDB4), hexColor(0xE3D4BF), hexColor(0xF8F4E4), hexColor(0xEEE5CF),
      hexColor(0xE7D9C3), hexColor(0xE8DCC6), hexColor(0xF2ECD8), hexColor(0xEDE4CF)},
     8},
};

// The disabled look is the same for every colour set.
inline constexpr std::uint32_t kDisabledFace = hexColor(0xF5F4EA);
inline constexpr std::uint32_t kDisabledOutline = hexColor(0xC9C7BA);
inline constexpr std::uint32_t kDisabledCaption = hexColor(0xC9C7BA);

// The face gradient runs top to bottom.
inline constexpr std::int32_t kFaceDirection = graphics::kGradientVertical;

// A colour as the caption is drawn in it: 0x80000000 plus an index names a
// system colour, which is looked up in the application's palette; any other
// value is a plain 0x00BBGGRR colour and comes back unchanged.
std::uint32_t resolveSystemColor(std::uint32_t colour);

// The colour set of a ColorStyle value, tested 1, then 3, then 2; nullptr for
// any other value, which draws no face at all.
const ColorSet* colorSetFor(std::int32_t colorStyle);

// Ends of ring line L1 to L8 on a W x H surface. A line covers its start and
// stops one pixel short of its end.
struct RingLine {
    int x1;
    int y1;
    int x2;
    int y2;
};
std::array<RingLine, 8> ringLines(int W, int H);

}  // namespace tessapak::controls
