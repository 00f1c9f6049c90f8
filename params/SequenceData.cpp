#include "params/ParamsCommands.h"

#include <cstring>

#include "params/SequenceData.h"
#include "share/AEUtil/AEException.h"
#include "share/AEUtil/SuiteHolder.h"

namespace {

std::uint32_t ReadLE32(const std::uint8_t* p) noexcept {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void WriteLE32(std::uint8_t* p, std::uint32_t v) noexcept {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

const PF_HandleSuite1& HandleSuite() {
    AEUtil::SuiteHolder* suites = AEUtil::GlobalSuites();
    if (!suites)
        AEUtil::ThrowSuiteFailure();
    return *suites->HandleSuite();
}

// Locks a handle for the life of the object (null when the host refused).
class HandleLock {
public:
    HandleLock(const PF_HandleSuite1& suite, PF_Handle handle)
        : suite_(suite), handle_(handle), data_(handle ? suite.host_lock_handle(handle) : nullptr) {}
    ~HandleLock() {
        if (data_)
            suite_.host_unlock_handle(handle_);
    }
    HandleLock(const HandleLock&) = delete;
    HandleLock& operator=(const HandleLock&) = delete;
    std::uint8_t* Data() const { return static_cast<std::uint8_t*>(data_); }

private:
    const PF_HandleSuite1& suite_;
    PF_Handle handle_;
    void* data_;
};

// A new handle holding `bytes`, or the error that prevented it.
PF_Err NewFilledHandle(PF_InData* in_data, const PF_HandleSuite1& suite, const void* bytes, std::size_t size,
                       PF_Handle* handle) {
    *handle = in_data->utils->host_new_handle(size);
    if (!*handle)
        return PF_Err_OUT_OF_MEMORY;
    void* data = suite.host_lock_handle(*handle);
    if (!data) {
        in_data->utils->host_dispose_handle(*handle);
        *handle = nullptr;
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    std::memcpy(data, bytes, size);
    suite.host_unlock_handle(*handle);
    return PF_Err_NONE;
}

} // namespace

void FlattenSequenceRecord(const SequenceRecord& record, std::uint8_t (&flat)[24]) noexcept {
    WriteLE32(flat + 0, record.magic);
    WriteLE32(flat + 4, 1);
    WriteLE32(flat + 8, record.version);
    WriteLE32(flat + 12, record.size);
    std::memcpy(flat + 16, record.reserved, sizeof record.reserved);
}

SequenceRecord UnflattenSequenceRecord(const std::uint8_t* flat, std::uint64_t size) noexcept {
    SequenceRecord record = kDefaultSequenceRecord;
    if (!flat || size < sizeof(SequenceRecord))
        return record;
    record.magic = ReadLE32(flat + 0);
    record.flatMarker = ReadLE32(flat + 4);
    record.version = ReadLE32(flat + 8);
    record.size = ReadLE32(flat + 12);
    std::memcpy(record.reserved, flat + 16, sizeof record.reserved);
    if (record.magic != kSequenceMagic || record.version != kSequenceVersion ||
        record.size != sizeof(SequenceRecord))
        record = kDefaultSequenceRecord;
    record.flatMarker = 0;
    return record;
}

PF_Err SequenceSetup(PF_InData* in_data, PF_OutData* out_data) {
    const PF_HandleSuite1& suite = HandleSuite();
    PF_Handle handle = nullptr;
    const PF_Err err =
        NewFilledHandle(in_data, suite, &kDefaultSequenceRecord, sizeof kDefaultSequenceRecord, &handle);
    if (err == PF_Err_NONE)
        out_data->sequence_data = handle;
    return err;
}

PF_Err SequenceSetdown(PF_InData* in_data, PF_OutData* out_data) {
    if (in_data->sequence_data) {
        in_data->utils->host_dispose_handle(in_data->sequence_data);
        out_data->sequence_data = nullptr;
    }
    return PF_Err_NONE;
}

PF_Err SequenceFlatten(PF_InData* in_data, PF_OutData* out_data) {
    const PF_HandleSuite1& suite = HandleSuite();
    PF_Handle unflat = out_data->sequence_data;
    if (!unflat)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    std::uint8_t flat[24];
    {
        HandleLock lock(suite, unflat);
        if (!lock.Data())
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        // A handle too small for a record (not one of ours) flattens as the default record.
        SequenceRecord record = kDefaultSequenceRecord;
        if (in_data->utils->host_get_handle_size(unflat) >= sizeof record)
            std::memcpy(&record, lock.Data(), sizeof record);
        FlattenSequenceRecord(record, flat);
    }
    PF_Handle flatHandle = nullptr;
    if (const PF_Err err = NewFilledHandle(in_data, suite, flat, sizeof flat, &flatHandle))
        return err;
    // The host keeps the flat form from here; the unflat record is ours to give back.
    out_data->sequence_data = flatHandle;
    in_data->utils->host_dispose_handle(unflat);
    return PF_Err_NONE;
}

PF_Err SequenceResetup(PF_InData* in_data, PF_OutData* out_data) {
    PF_Handle stored = in_data->sequence_data;
    if (!stored)
        return SequenceSetup(in_data, out_data);
    const PF_HandleSuite1& suite = HandleSuite();
    const std::uint64_t size = in_data->utils->host_get_handle_size(stored);
    HandleLock storedLock(suite, stored);
    if (!storedLock.Data())
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    if (size < 4 || ReadLE32(storedLock.Data()) != kSequenceMagic)
        return SequenceSetup(in_data, out_data);

    PF_Handle previous = out_data->sequence_data;
    if (const PF_Err err = SequenceSetup(in_data, out_data))
        return err;
    const SequenceRecord record = UnflattenSequenceRecord(storedLock.Data(), size);
    HandleLock recordLock(suite, out_data->sequence_data);
    if (!recordLock.Data()) {
        // The host would not take the new record with the failure: give it back.
        in_data->utils->host_dispose_handle(out_data->sequence_data);
        out_data->sequence_data = previous;
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    std::memcpy(recordLock.Data(), &record, sizeof record);
    return PF_Err_NONE;
}
