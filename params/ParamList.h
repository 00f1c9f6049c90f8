#pragma once
// The process-wide list of parameter definitions: the table of 512 slots by persistent id (it owns the
// definitions), the host order, the index counter, and the parameter setup that registers them all.
// The list is built by the first-call setup and destroyed by the teardown; between the two it does not
// change, so commands on any thread may walk it.
#include "sdk/AE_Effect.h"

class BaseParam;

constexpr A_long kParamSlots = 512;

// The definition in slot `id`, or null.
BaseParam* ParamById(A_long id) noexcept;
// The definition with host index `position` (1 = first), or null past the last one.
BaseParam* ParamAtPosition(A_long position) noexcept;
// The host index of the definition in slot `id`, or 0 when there is none.
PF_ParamIndex ParamIndexOf(A_long id) noexcept;

// The next host index to hand out: after a build, the number of host parameters including the layer.
A_long ParamIndexCounter() noexcept;
A_long TakeParamIndex() noexcept;

// List building: empty the table (destroying its definitions) and reset the counter; place each new
// definition in its slot (the table owns it from then on, also when a later step fails); then give every
// definition its slot as id and sort the host order.
void EmptyParamTable() noexcept;
void PlaceParam(A_long id, BaseParam* param) noexcept;
void FinishParamList() noexcept;

// Templates of a definition's host record: all zero except the collapsed-group flag, and, on a host that
// runs as a render engine, the disabled UI flag. The expanded topic lacks the collapsed-group flag.
struct ParamTemplates {
    PF_ParamDef standard;
    PF_ParamDef expandedTopic;
};
ParamTemplates MakeParamTemplates(bool renderEngine) noexcept;

// After Effects before effect API 12.12 never reads stored defaults.
bool IsLegacyHost(const PF_InData* in_data) noexcept;
