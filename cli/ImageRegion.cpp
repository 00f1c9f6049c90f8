#include "cli/ImageRegion.h"

#include <algorithm>

#include "cli/ToolError.h"

namespace cli {

RegionChoice ParseRegionChoice(const std::string& text) {
    if (text.empty() || text == "union")
        return RegionChoice::Union;
    if (text == "data")
        return RegionChoice::Data;
    if (text == "display")
        return RegionChoice::Display;
    throw UsageError("--region \"" + text + "\": expected union, data or display");
}

PixelRect DataWindow(const OIIO::ImageSpec& spec) {
    return PixelRect{spec.x, spec.y, spec.width, spec.height};
}

PixelRect DisplayWindow(const OIIO::ImageSpec& spec) {
    if (spec.full_width <= 0 || spec.full_height <= 0)
        return DataWindow(spec);
    return PixelRect{spec.full_x, spec.full_y, spec.full_width, spec.full_height};
}

PixelRect Intersection(const PixelRect& a, const PixelRect& b) {
    const std::int64_t x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const std::int64_t x1 = std::min(a.Right(), b.Right()), y1 = std::min(a.Bottom(), b.Bottom());
    if (x1 <= x0 || y1 <= y0)
        return PixelRect{x0, y0, 0, 0};
    return PixelRect{x0, y0, x1 - x0, y1 - y0};
}

PixelRect ChooseRegion(const OIIO::ImageSpec& spec, RegionChoice choice) {
    const PixelRect data = DataWindow(spec), display = DisplayWindow(spec);
    switch (choice) {
    case RegionChoice::Data:
        return data;
    case RegionChoice::Display:
        return display;
    case RegionChoice::Union:
        break;
    }
    const std::int64_t x0 = std::min(data.x, display.x), y0 = std::min(data.y, display.y);
    const std::int64_t x1 = std::max(data.Right(), display.Right());
    const std::int64_t y1 = std::max(data.Bottom(), display.Bottom());
    return PixelRect{x0, y0, x1 - x0, y1 - y0};
}

std::string DescribeRect(const PixelRect& r) {
    return std::to_string(r.width) + " × " + std::to_string(r.height) + " at (" + std::to_string(r.x) + ", " +
           std::to_string(r.y) + ")";
}

} // namespace cli
