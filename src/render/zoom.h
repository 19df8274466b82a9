// Zoom arithmetic of the page display: the page's width on screen and the vertical scale.
// Pure functions, kept apart from the window so every step can be checked on its own.
#pragma once

#include <cstdint>

namespace view {

inline constexpr int kDefaultDesktopWidth = 1024;
inline constexpr int kZoomDefaultCommand = 32785;  // "&Default Size"
inline constexpr int kZoomLastCommand = 32797;     // "&100%"
inline constexpr int kHeightDivisor = 480;         // lines are halved, less an eighth, then scaled by Z / 480
inline constexpr int kSurfaceWidthStep = 16;       // the surface is a whole number of 16-pixel groups wide

struct Zoom {
    int desktopWidth = kDefaultDesktopWidth;  // W, measured once at start-up
    float widthOffset = 0.0f;                 // single precision, as set by the zoom commands
    float heightOffset = 0.0f;
    int displayWidth() const;  // DW = W + trunc(widthOffset)
    int heightFactor() const;  // Z = trunc(0.75 * W) + trunc(heightOffset)
    int surfaceWidth() const;  // 16 * trunc(DW / 16)
};

// Default Size as start-up selects it (HeightOffset = WidthOffset * 0.7500001788f).
Zoom DefaultSizeAtStartup(int desktopWidth);
// The zoom commands 32785 (Default Size from the menu) to 32797 (100%); false for any other id.
bool ZoomForCommand(int desktopWidth, int command, Zoom& out);
// The percentage a command stands for (25 ... 100), or 0 for Default Size and unknown ids.
int ZoomPercent(int command);

// Height on screen of a band of n lines: trunc((trunc(n/2) - trunc(n/8)) * Z / 480).
// Never negative.
std::int64_t BandHeight(std::uint32_t lines, int heightFactor);
// Predicted page height H for L lines; wide arithmetic, so pages taller than 65,535
// lines are shown instead of wrapping. Never negative.
std::int64_t PredictedHeight(std::uint32_t lines, int heightFactor);

}  // namespace view
