#include "cli/PixelConvert.h"

namespace cli {

PF_PixelFormat FormatOf(Depth depth) {
    switch (depth) {
    case Depth::k8:
        return PF_PixelFormat_ARGB32;
    case Depth::k16:
        return PF_PixelFormat_ARGB64;
    case Depth::k32:
        return PF_PixelFormat_ARGB128;
    }
    return PF_PixelFormat_INVALID;
}

int BitsOf(Depth depth) {
    return depth == Depth::k8 ? 8 : depth == Depth::k16 ? 16 : 32;
}

std::size_t PixelBytes(Depth depth) {
    return depth == Depth::k8    ? sizeof(PF_Pixel8)
           : depth == Depth::k16 ? sizeof(PF_Pixel16)
                                 : sizeof(PF_PixelFloat);
}

std::string FormatText(Depth depth) {
    return depth == Depth::k8 ? "'argb'" : depth == Depth::k16 ? "'ae16'" : "'ae32'";
}

HostRows RowsOf(host::World& world) {
    const PF_PixelFormat format = world.Format();
    const Depth depth = format == PF_PixelFormat_ARGB32   ? Depth::k8
                        : format == PF_PixelFormat_ARGB64 ? Depth::k16
                                                          : Depth::k32;
    return HostRows{world.Row(0), world.RowBytes(), int(world.Width()), int(world.Height()), depth};
}

bool HasPartialAlpha(const HostRows& rows) {
    return VisitDepth(rows.depth, [&]<class P>(P) {
        for (int y = 0; y < rows.height; ++y) {
            const P* row = rows.Row<P>(y);
            for (int x = 0; x < rows.width; ++x) {
                if constexpr (std::is_same_v<P, PF_PixelFloat>) {
                    if (!(row[x].alpha >= 1.0f))
                        return true;
                } else if (row[x].alpha < kHostFull<P>) {
                    return true;
                }
            }
        }
        return false;
    });
}

} // namespace cli
