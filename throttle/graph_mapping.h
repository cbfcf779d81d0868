#pragma once

namespace kestrum {

struct PixelPoint
{
    double x;
    double y;
};

// A logical graph point (throttle step, response) in a W x H client area for a
// table of `length` entries: step 0 at the left edge, step length-1 at the
// right, response 0 at the bottom, length-1 at the top.
inline PixelPoint MapToPixel(int lx, int ly, int length, double width, double height)
{
    const double extent = length > 1 ? length - 1 : 1;
    return {lx * width / extent, height - ly * height / extent};
}

} // namespace kestrum
