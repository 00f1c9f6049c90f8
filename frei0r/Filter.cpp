#include "frei0r/Filter.h"

#include <cstdio>
#include <cstring>
#include <exception>

#include "host/ErrorNames.h"

namespace frei0r {

Filter::Filter(unsigned width, unsigned height) : engine_(Engine::Get()), width_(width), height_(height) {
    for (const Control& c : engine_->Controls())
        values_.push_back(c.initial);
    std::string why;
    try {
        instance_ = engine_->NewInstance(&why);
        if (instance_) {
            input_.emplace(engine_->Host(), A_long(width), A_long(height), PF_PixelFormat_ARGB32, false);
            output_.emplace(engine_->Host(), A_long(width), A_long(height), PF_PixelFormat_ARGB32, false);
        }
    } catch (const std::exception& e) {
        why =
            "cannot prepare " + std::to_string(width) + "x" + std::to_string(height) + " frames: " + e.what();
        input_.reset();
        output_.reset();
    }
    // The effect's own failure to load was reported once, when it was loaded.
    if (!why.empty() && engine_->Ready())
        Report(why);
    if (!output_) {
        engine_->EndInstance(std::move(instance_));
        reported_ = true;
    }
}

Filter::~Filter() {
    input_.reset();
    output_.reset();
    engine_->EndInstance(std::move(instance_));
}

void Filter::Set(int index, const void* param) {
    std::lock_guard lock(mutex_);
    if (param && index >= 0 && std::size_t(index) < values_.size())
        SetFromFrei0r(engine_->Controls()[std::size_t(index)], param, values_[std::size_t(index)]);
}

void Filter::Get(int index, void* param) {
    std::lock_guard lock(mutex_);
    if (param && index >= 0 && std::size_t(index) < values_.size())
        GetAsFrei0r(engine_->Controls()[std::size_t(index)], values_[std::size_t(index)], param);
}

void Filter::PassThrough(const std::uint32_t* in, std::uint32_t* out) const {
    if (in != out)
        std::memcpy(out, in, std::size_t(width_) * height_ * 4);
}

void Filter::Report(const std::string& what) {
    if (reported_)
        return;
    reported_ = true;
    std::fprintf(stderr, "tovrin (frei0r): %s; the frame passes through unchanged (reported once)\n",
                 what.c_str());
}

void Filter::Update(const std::uint32_t* in, std::uint32_t* out) {
    std::lock_guard lock(mutex_);
    if (!in || !out)
        return;
    if (!output_) {
        PassThrough(in, out);
        return;
    }
    const auto* src = reinterpret_cast<const std::uint8_t*>(in);
    auto* dst = reinterpret_cast<std::uint8_t*>(out);
    std::size_t line = std::size_t(width_) * 4;
    // RGBA bytes into the host's alpha, red, green, blue.
    for (unsigned y = 0; y < height_; ++y) {
        const std::uint8_t* s = src + line * y;
        std::uint8_t* d = input_->Row(A_long(y));
        for (unsigned x = 0; x < width_; ++x, s += 4, d += 4) {
            d[0] = s[3];
            d[1] = s[0];
            d[2] = s[1];
            d[3] = s[2];
        }
    }
    PF_Err err = PF_Err_NONE;
    std::string failure;
    try {
        const std::vector<Control>& controls = engine_->Controls();
        for (std::size_t k = 0; k < controls.size(); ++k)
            instance_->MutableParam(controls[k].index).u = values_[k];
        auto lock = engine_->RenderLock();
        err = engine_->Smart() ? instance_->SmartRenderFrame(*input_, *output_)
                               : instance_->Render(*input_, *output_);
        if (err)
            failure = "the effect failed a frame: " + host::DescribeError(err);
    } catch (const std::exception& e) {
        failure = std::string("the host failed a frame: ") + e.what();
    }
    if (!failure.empty()) {
        Report(failure);
        PassThrough(in, out);
        return;
    }
    for (unsigned y = 0; y < height_; ++y) {
        const std::uint8_t* s = output_->Row(A_long(y));
        std::uint8_t* d = dst + line * y;
        for (unsigned x = 0; x < width_; ++x, s += 4, d += 4) {
            d[0] = s[1];
            d[1] = s[2];
            d[2] = s[3];
            d[3] = s[0];
        }
    }
}

} // namespace frei0r
