#include "host/ErrorNames.h"

namespace host {
namespace {

const char* Name(PF_Err err) {
    switch (err) {
    case PF_Err_NONE:
        return "PF_Err_NONE";
    case PF_Err_OUT_OF_MEMORY:
        return "PF_Err_OUT_OF_MEMORY";
    case PF_Err_INTERNAL_STRUCT_DAMAGED:
        return "PF_Err_INTERNAL_STRUCT_DAMAGED";
    case PF_Err_INVALID_INDEX:
        return "PF_Err_INVALID_INDEX";
    case PF_Err_UNRECOGNIZED_PARAM_TYPE:
        return "PF_Err_UNRECOGNIZED_PARAM_TYPE";
    case PF_Err_INVALID_CALLBACK:
        return "PF_Err_INVALID_CALLBACK";
    case PF_Err_BAD_CALLBACK_PARAM:
        return "PF_Err_BAD_CALLBACK_PARAM";
    case PF_Interrupt_CANCEL:
        return "PF_Interrupt_CANCEL";
    case PF_Err_CANNOT_PARSE_KEYFRAME_TEXT:
        return "PF_Err_CANNOT_PARSE_KEYFRAME_TEXT";
    default:
        return nullptr;
    }
}

} // namespace

std::string DescribeError(PF_Err err) {
    if (const char* name = Name(err))
        return std::string(name) + " (" + std::to_string(err) + ")";
    return "unnamed PF_Err " + std::to_string(err);
}

} // namespace host
