// Built only by the test room_dependencies_run_one_way, which expects it to fail: kernels/ lies below
// render/, so render's headers are not on its include path.
#include "kernels/PixelTraits.h"
#include "render/RenderDriver.h"
