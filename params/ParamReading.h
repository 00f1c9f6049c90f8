#pragma once
// Reading parameter values. A getter fetches each control's host record, either by checking it out at the
// command's time or by copying it from the command's parameter array, into a private copy that the
// getter owns; the reading stores the values from there into a RenderParams record through the fields
// of the control table. Because nothing shared is written, renders on several host threads can read at
// the same time.
//
// A getter's copies serve its release walk (which checks in exactly what its read walk checked out) and
// the store of defaults (which writes exactly what the read walk fetched). Use one getter for one read
// walk and the release walk that belongs to it.
#include <array>

#include "params/Controls.h"
#include "params/RenderParams.h"
#include "sdk/AE_Effect.h"

class ParamGetter {
public:
    ParamGetter(const ParamGetter&) = delete;
    ParamGetter& operator=(const ParamGetter&) = delete;

    // Fetches the value of parameter `index` into the getter's copy, giving back what an earlier fetch of
    // it holds first (or its checkout would be lost). On failure nothing is held and the code returned.
    PF_Err Fetch(PF_ParamIndex index);
    // Gives back what Fetch holds for `index`; 0 and nothing done when it holds nothing.
    PF_Err Release(PF_ParamIndex index);
    // The copy of parameter `index` that Fetch filled and that has not been released; null otherwise.
    const PF_ParamDef* Fetched(PF_ParamIndex index) const noexcept;

protected:
    ParamGetter() = default;
    ~ParamGetter() = default;
    // The host's side: fill `def` with the value of parameter `index`; give it back.
    virtual PF_Err Get(PF_ParamIndex index, PF_ParamDef* def) = 0;
    virtual PF_Err Put(PF_ParamDef* def) = 0;

private:
    struct Copy {
        PF_ParamDef def;
        bool fetched;
    };
    std::array<Copy, kParamCount> copies_{};
};

// Values from the command's parameter array.
class GetParamFromArray final : public ParamGetter {
public:
    explicit GetParamFromArray(PF_ParamDef* params[]) : params_(params) {}

private:
    // Copies the whole record at that index; 516 when the array has none there.
    PF_Err Get(PF_ParamIndex index, PF_ParamDef* def) override;
    PF_Err Put(PF_ParamDef* def) override;
    PF_ParamDef** params_;
};

// Values checked out from the host at the input record's time.
class GetParamByCheckout final : public ParamGetter {
public:
    explicit GetParamByCheckout(PF_InData* in_data) : in_data_(in_data) {}

private:
    // On failure the destination is cleared and the host's code returned.
    PF_Err Get(PF_ParamIndex index, PF_ParamDef* def) override;
    PF_Err Put(PF_ParamDef* def) override;
    PF_InData* in_data_;
};

// Every control with a value, in host order, into `record` (may be null) through `getter`; stops at the
// first failure and returns its code, leaving the later fields as they were. Sliders are held to their valid
// range ("Blur Repeat Num" is 1 to 10 whatever the host hands over).
PF_Err ReadAllParams(RenderParams* record, ParamGetter& getter);

// Releases every value the getter holds, in host order. All are released even when one release fails;
// the first failure's code is returned.
PF_Err ReleaseAllParams(ParamGetter& getter);
