#include "optiondlg/StoreDefaults.h"

#include <cstdio>

#include "params/Controls.h"
#include "params/Registration.h"

namespace {

StoreResult FileFailure(const char* path, const platform::FileResult& file) {
    StoreResult result;
    result.outcome = file.Ok() ? StoreOutcome::Done : StoreOutcome::FileFailed;
    result.file = file;
    std::snprintf(result.path, sizeof result.path, "%s", path);
    return result;
}

// The reason in the user's terms; the system's number only where there is no better word.
void DescribeProblem(const platform::FileResult& file, char* out, std::size_t size) {
    using platform::FileProblem;
    const char* text = nullptr;
    switch (file.problem) {
    case FileProblem::None:
        text = "no error";
        break;
    case FileProblem::Missing:
        text = "the file is missing";
        break;
    case FileProblem::NoFolder:
        text = "its folder does not exist";
        break;
    case FileProblem::NotAFile:
        text = "a folder or device has the file's name";
        break;
    case FileProblem::Denied:
        text = "permission denied";
        break;
    case FileProblem::ReadOnlyDisk:
        text = "the disk is read-only";
        break;
    case FileProblem::DiskFull:
        text = "the disk is full";
        break;
    case FileProblem::InUse:
        text = "another program is using the file";
        break;
    case FileProblem::NameTooLong:
        text = "the path is too long";
        break;
    case FileProblem::NotEditable:
        text = "the file is UTF-16 text, which would be lost";
        break;
    case FileProblem::OutOfMemory:
        text = "out of memory";
        break;
    case FileProblem::Other:
        break;
    }
    if (text)
        std::snprintf(out, size, "%s", text);
    else
        std::snprintf(out, size, "system error %d", file.systemError);
}

} // namespace

StoreResult SaveAllDefaults(const char* path, const ParamGetter& getter) {
    StoreResult result;
    if (!path) {
        result.outcome = StoreOutcome::NoPlace;
        return result;
    }
    if (StoredDefaultsSection()[0] == '\0') {
        result.outcome = StoreOutcome::NotUsed;
        return result;
    }
    StoredDefaultsText text;
    for (PF_ParamIndex index = 1; index < kParamCount; ++index) {
        const PF_ParamDef* fetched = getter.Fetched(index);
        text.Add(ControlAt(index), fetched ? *fetched : RegisteredControl(index));
    }
    return FileFailure(path, text.WriteTo(path));
}

StoreResult StoreCurrentDefaults(PF_InData* in_data, PF_ParamDef* params[]) {
    char path[kStoredDefaultsPathSize];
    if (!StoredDefaultsPath(in_data, path)) {
        StoreResult result;
        result.outcome = StoreOutcome::NoPlace;
        return result;
    }
    GetParamFromArray getter(params);
    (void)ReadAllParams(nullptr, getter);
    return SaveAllDefaults(path, getter);
}

StoreResult RestoreBuiltInDefaults(PF_InData* in_data) {
    char path[kStoredDefaultsPathSize];
    if (!StoredDefaultsPath(in_data, path))
        return StoreResult{};
    return FileFailure(path, platform::RemoveFile(path));
}

void DescribeStoreResult(const StoreResult& result, bool restore, char* out, std::size_t size) {
    if (!out || size == 0)
        return;
    const char* what = restore ? "Tovrin could not remove the stored default values"
                               : "Tovrin could not store the default values";
    char reason[64];
    switch (result.outcome) {
    case StoreOutcome::Done:
        out[0] = '\0';
        return;
    case StoreOutcome::NotUsed:
        std::snprintf(out, size, "%s: this host does not use stored defaults", what);
        return;
    case StoreOutcome::NoPlace:
        std::snprintf(out, size, "%s: the host does not say where the plug-in file is", what);
        return;
    case StoreOutcome::FileFailed:
        DescribeProblem(result.file, reason, sizeof reason);
        std::snprintf(out, size, "%s (%s): %s", what, reason, result.path);
        return;
    }
}
