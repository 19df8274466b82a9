#include "render/zoom.h"

#include <cmath>
#include <cstddef>

namespace view {

namespace {

constexpr float kFaxWidthF = 1728.0f;
// The two height divisors differ in their last digits; both are kept as the display has always
// used them, so the same command gives the same page height it always did.
constexpr float kMenuHeightDivisor = 1.3333330154f;
constexpr float kStartupHeightFactor = 0.7500001788f;

struct Step {
    int command;
    int percent;
    float width;  // D = 1728 * p / 100, in single precision
};

constexpr Step kSteps[] = {
    {32786, 25, 432.0f},   {32787, 37, 639.36f},  {32788, 40, 691.2f},  {32789, 42, 725.76f},
    {32790, 44, 760.32f},  {32791, 46, 794.88f},  {32792, 50, 864.0f},  {32793, 60, 1036.8f},
    {32794, 75, 1296.0f},  {32795, 80, 1382.4f},  {32796, 90, 1555.2f}, {32797, 100, 1728.0f},
};

int Trunc(float v) { return static_cast<int>(std::trunc(v)); }

// Default Size's width offset: the page as wide as the desktop, never wider than a fax.
float DefaultWidthOffset(int w) {
    float wf = static_cast<float>(w);
    if (w >= 1728) return kFaxWidthF - wf;
    return wf / kFaxWidthF * kFaxWidthF - wf;
}

std::int64_t Scale(std::int64_t halfLess, int z) {
    std::int64_t h = halfLess * z / kHeightDivisor;
    return h > 0 ? h : 0;
}

}  // namespace

int Zoom::displayWidth() const { return desktopWidth + Trunc(widthOffset); }

int Zoom::heightFactor() const {
    return static_cast<int>(std::trunc(0.75 * desktopWidth)) + Trunc(heightOffset);
}

int Zoom::surfaceWidth() const {
    int dw = displayWidth();
    return dw > 0 ? kSurfaceWidthStep * (dw / kSurfaceWidthStep) : 0;
}

Zoom DefaultSizeAtStartup(int desktopWidth) {
    Zoom z;
    z.desktopWidth = desktopWidth;
    z.widthOffset = DefaultWidthOffset(desktopWidth);
    z.heightOffset = z.widthOffset * kStartupHeightFactor;
    return z;
}

bool ZoomForCommand(int desktopWidth, int command, Zoom& out) {
    if (command == kZoomDefaultCommand) {
        out.desktopWidth = desktopWidth;
        out.widthOffset = DefaultWidthOffset(desktopWidth);
        out.heightOffset = out.widthOffset / kMenuHeightDivisor;
        return true;
    }
    for (const Step& s : kSteps) {
        if (s.command != command) continue;
        out.desktopWidth = desktopWidth;
        out.widthOffset = s.width - static_cast<float>(desktopWidth);
        out.heightOffset = out.widthOffset / kMenuHeightDivisor;
        return true;
    }
    return false;
}

int ZoomPercent(int command) {
    for (const Step& s : kSteps)
        if (s.command == command) return s.percent;
    return 0;
}

std::int64_t BandHeight(std::uint32_t lines, int heightFactor) {
    std::int64_t n = lines;
    return Scale(n / 2 - n / 8, heightFactor);
}

std::int64_t PredictedHeight(std::uint32_t lines, int heightFactor) {
    std::int64_t half = lines / 2;
    return Scale(half - half / 4, heightFactor);
}

}  // namespace view
