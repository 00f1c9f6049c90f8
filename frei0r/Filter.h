#pragma once
// One frei0r instance: an applied instance of the effect with its own parameter values and its own input
// and output worlds of the frame size. Each update converts the application's RGBA frame into the host's
// 'argb' world, renders it, and converts the result back; when the effect or the host fails, the output is
// a copy of the input and the failure is reported once on stderr (frei0r has no error return).
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "frei0r/Engine.h"
#include "host/World.h"

namespace frei0r {

class Filter {
public:
    Filter(unsigned width, unsigned height);
    ~Filter();
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;

    // Parameters by frei0r index; out-of-range indices are ignored. A value takes effect at the next update.
    void Set(int index, const void* param);
    void Get(int index, void* param);
    void Update(const std::uint32_t* in, std::uint32_t* out);

private:
    void PassThrough(const std::uint32_t* in, std::uint32_t* out) const;
    void Report(const std::string& what);

    std::shared_ptr<Engine> engine_; // first, so that it goes last
    unsigned width_, height_;
    std::mutex mutex_; // applications may update one instance from several threads in turn
    std::unique_ptr<host::Instance> instance_;
    std::optional<host::World> input_, output_;
    std::vector<PF_ParamDefUnion> values_; // per control
    bool reported_ = false;
};

} // namespace frei0r
