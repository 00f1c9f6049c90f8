// Outside Windows a test module exports its PiPL bytes as data, as the plug-in does.
#include <cstddef>

extern "C" {
__attribute__((visibility("default"))) extern const unsigned char PiPL_16000[];
__attribute__((visibility("default"))) extern const std::size_t PiPL_16000_size;

const unsigned char PiPL_16000[] = {
#include "PiPLBytes.inc"
};
const std::size_t PiPL_16000_size = sizeof(PiPL_16000);
}
