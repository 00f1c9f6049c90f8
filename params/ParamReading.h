#pragma once
// Reading parameter values. A getter fetches each parameter's host record, either by checking it out at
// the command's time or by copying it from the command's parameter array, into a private copy that the
// getter owns; the definitions copy the values from there into a RenderParams record. Because nothing
// shared is written, renders on several host threads can read at the same time.
//
// A getter's copies serve its release walk (which checks in exactly what its read walk checked out) and
// the store of defaults (which writes exactly what the read walk fetched). Use one getter for one read
// walk and the release walk that belongs to it.
#include "sdk/AE_Effect.h"
#include "share/AEUtil/Allocator.h"

struct RenderParams;

class ParamGetter {
public:
    ParamGetter(const ParamGetter&) = delete;
    ParamGetter& operator=(const ParamGetter&) = delete;

    virtual PF_Err Get(PF_ParamIndex index, PF_ParamDef* def) = 0;
    virtual PF_Err Release(PF_ParamDef* def) = 0;
    virtual bool IsForPreRender() const = 0;
    // 1 when the parameter's UI is not disabled, else 0.
    virtual int IsEnabled(PF_ParamIndex index) const = 0;

    // The copy of parameter `index` that Get filled and that has not been released; null otherwise.
    const PF_ParamDef* Fetched(PF_ParamIndex index) const noexcept;

protected:
    ParamGetter() = default;
    ~ParamGetter();

private:
    friend class BaseParam;
    struct Copy {
        PF_ParamDef def;
        A_long fetched;
    };
    // The copy for `index`, made on first use for every index of the current list (the allocation may
    // throw std::bad_alloc); null for an index outside the list.
    Copy* CopyFor(PF_ParamIndex index);

    AEUtil::UniqueArray<Copy> copies_;
    A_long count_ = 0;
};

// Values from the command's parameter array.
class GetParamFromArray final : public ParamGetter {
public:
    explicit GetParamFromArray(PF_ParamDef* params[]) : params_(params) {}
    // Copies the whole record at that index; 516 when the array has none there.
    PF_Err Get(PF_ParamIndex index, PF_ParamDef* def) override;
    PF_Err Release(PF_ParamDef* def) override;
    bool IsForPreRender() const override { return false; }
    int IsEnabled(PF_ParamIndex index) const override;

private:
    PF_ParamDef** params_;
};

// Values checked out from the host at the input record's time.
class GetParamByCheckout final : public ParamGetter {
public:
    GetParamByCheckout(PF_InData* in_data, PF_ParamDef* params[], A_u_char forPreRender)
        : in_data_(in_data), params_(params), forPreRender_(forPreRender) {}
    // On failure the destination is cleared and the host's code returned.
    PF_Err Get(PF_ParamIndex index, PF_ParamDef* def) override;
    PF_Err Release(PF_ParamDef* def) override;
    bool IsForPreRender() const override { return forPreRender_ != 0; }
    // 1 when no array was given.
    int IsEnabled(PF_ParamIndex index) const override;

private:
    PF_InData* in_data_;
    PF_ParamDef** params_;
    A_u_char forPreRender_;
};

// Every parameter in host order into `record` (may be null) through `getter`; stops at the first failure
// and returns its code, leaving the later fields as they were.
PF_Err ReadAllParams(RenderParams* record, ParamGetter& getter);

// Releases every value the getter holds, in host order. All are released even when one release fails;
// the first failure's code is returned.
PF_Err ReleaseAllParams(ParamGetter& getter);

// Writes every parameter's stored default into `path`: the value the getter fetched, or the definition as
// registered when the getter fetched none.
void SaveAllDefaults(const char* path, const ParamGetter& getter);
