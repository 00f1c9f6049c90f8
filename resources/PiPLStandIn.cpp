// Outside Windows a library has no resources: the PiPL's bytes are exported as data instead, and the
// embedded host reads them under these names just as it reads resource 16000 on Windows.
#include <cstddef>

extern "C" {
__attribute__((visibility("default"))) extern const unsigned char PiPL_16000[];
__attribute__((visibility("default"))) extern const std::size_t PiPL_16000_size;

const unsigned char PiPL_16000[] = {
#include "PiPLBytes.inc"
};
const std::size_t PiPL_16000_size = sizeof(PiPL_16000);
}
