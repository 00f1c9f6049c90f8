#pragma once
// The option dialog's store and restore: the current values of the controls become the stored defaults
// that new instances start from, or the stored defaults go. Either says truthfully what came of it.
#include <cstddef>

#include "params/ParamReading.h"
#include "params/StoredDefaults.h"
#include "platform/Files.h"
#include "sdk/AE_Effect.h"

enum class StoreOutcome {
    Done,
    NotUsed,    // the host never reads stored defaults (no section to write under)
    NoPlace,    // the host reports no path for the plug-in, so there is no file beside it
    FileFailed, // the file could not be written or deleted; `file` says why
};

struct StoreResult {
    StoreOutcome outcome = StoreOutcome::Done;
    platform::FileResult file;
    char path[kStoredDefaultsPathSize] = {};
};

// Reads every control's current value from the command's parameter array (stopping at the first error) and
// writes them all into the stored-defaults file beside the plug-in, replacing it whole.
StoreResult StoreCurrentDefaults(PF_InData* in_data, PF_ParamDef* params[]);

// Writes every control's stored default into `path`: the value the getter fetched, or the record as the
// parameter setup registered it when the getter fetched none. NoPlace when `path` is null, NotUsed when the
// parameter setup chose no section; the file is then not touched.
StoreResult SaveAllDefaults(const char* path, const ParamGetter& getter);

// Deletes the stored-defaults file; no file is no failure, and nor is a host that reports no path (there
// is then no file that could be read).
StoreResult RestoreBuiltInDefaults(PF_InData* in_data);

// The message for the user about a store (`restore` false) or restore that did not happen, one line that
// names the reason before the file; empty when it happened.
void DescribeStoreResult(const StoreResult& result, bool restore, char* out, std::size_t size);
