#pragma once
// The rectangle of a file's pixel plane that a frame renders. A file's data window (the pixels it stores)
// may be smaller or larger than its display window (the frame): a CG render stores only the part where
// there is something. A blur must be free to spread beyond the stored pixels up to the frame's edge, so by
// default the union of the two is rendered, with transparent pixels where nothing is stored.
#include <cstdint>
#include <string>

#include <OpenImageIO/imageio.h>

namespace cli {

enum class RegionChoice { Union, Data, Display };

// "union", "data" or "display"; throws a usage error for anything else.
RegionChoice ParseRegionChoice(const std::string& text);

// A rectangle in the file's pixel coordinates (64-bit: a hostile header may put it anywhere).
struct PixelRect {
    std::int64_t x = 0, y = 0, width = 0, height = 0;

    std::int64_t Right() const { return x + width; }
    std::int64_t Bottom() const { return y + height; }
    bool Empty() const { return width <= 0 || height <= 0; }
    bool operator==(const PixelRect&) const = default;
};

PixelRect DataWindow(const OIIO::ImageSpec& spec);
// The display window; the data window when the file has none.
PixelRect DisplayWindow(const OIIO::ImageSpec& spec);
PixelRect Intersection(const PixelRect& a, const PixelRect& b);
PixelRect ChooseRegion(const OIIO::ImageSpec& spec, RegionChoice choice);

// "400 × 300 at (0, 0)".
std::string DescribeRect(const PixelRect& r);

} // namespace cli
