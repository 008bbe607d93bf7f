#pragma once
// Colour values as the program stores them, and their conversion to Qt colours.
//
// A colour value is 32 bits: 0x00BBGGRR for an ordinary colour (red in the low byte), or 0x80 in
// the top byte for a system colour whose index (the Windows COLOR_ numbering, 0 to 30) is in the
// low byte. System colours are resolved when drawn, from the application palette, so what the
// program draws follows the desktop theme.

#include <QColor>
#include <cstdint>

namespace draw {

using TColor = std::uint32_t;

constexpr TColor SystemColorFlag = 0x80000000u;

constexpr TColor RGBColor(int red, int green, int blue) {
    return TColor(red & 0xFF) | TColor(green & 0xFF) << 8 | TColor(blue & 0xFF) << 16;
}
constexpr bool IsSystemColor(TColor color) {
    return (color & 0xFF000000u) == SystemColorFlag;
}

constexpr TColor clBlack = 0x00000000u;
constexpr TColor clWhite = 0x00FFFFFFu;
constexpr TColor clRed = 0x000000FFu;
constexpr TColor clLime = 0x0000FF00u;
constexpr TColor clYellow = 0x0000FFFFu;
constexpr TColor clAqua = 0x00FFFF00u;
constexpr TColor clBtnFace = SystemColorFlag | 15;
constexpr TColor clWindow = SystemColorFlag | 5;
constexpr TColor clWindowFrame = SystemColorFlag | 6;
constexpr TColor clHighlight = SystemColorFlag | 13;
constexpr TColor clInfoBk = SystemColorFlag | 24;

// The Qt colour of a colour value. A system colour comes from the application palette (the
// closest role for each index; indices the system does not define give black, as the system's
// own lookup does). For any other value the top byte is ignored and the low three bytes are
// blue, green and red.
QColor ColorToQColor(TColor color);

// The colour value as 0x00BBGGRR, a system colour resolved as above (what a picture file that
// stores plain colours needs).
TColor ColorToRGB(TColor color);

// The colour value of a Qt colour (its alpha is dropped).
TColor QColorToColor(const QColor& color);

}  // namespace draw
