#pragma once
// Turns whatever a command raises into the host error code the host receives: nothing leaves the
// library as an exception.
#include <exception>

#include "sdk/AE_Effect.h"
#include "share/AEUtil/AEException.h"

template <class Command>
PF_Err ConvertExceptions(Command&& command) noexcept {
    try {
        return command();
    } catch (const AEUtil::AEException& e) {
        return e.Error();
    } catch (const std::exception&) {
        // Win32Exception, allocation failures and the standard container errors alike.
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    } catch (A_long code) {
        // A bare host code, as the suite holder raises when a suite is missing.
        return code;
    } catch (...) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
}
