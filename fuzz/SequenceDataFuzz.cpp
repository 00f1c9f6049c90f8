// Sequence data re-set up from arbitrary stored bytes (a project from anywhere), through the host and the
// loaded plug-in. For any bytes:
//   - re-setup succeeds and gives a record the effect made: its identifying fields are its own, whatever
//     the bytes said;
//   - flattening that record and setting it up again gives the same record, and the same flat bytes;
//   - with a host service failing at some point of it, the command answers with an error code the protocol
//     knows, and leaks nothing;
//   - the host sees no protocol violation and nothing left behind once the instance is set down.
//
// Input: one byte choosing a host failure (most values: none), then the stored bytes.
#include <string>
#include <vector>

#include "fuzz/EffectHost.h"
#include "fuzz/FuzzSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The fields that identify an in-memory record of this effect: magic 'zvsq', marker 0, size 24, version 1.
const Bytes kIdentity = {0x71, 0x73, 0x76, 0x7A, 0, 0, 0, 0, 0x18, 0, 0, 0, 1, 0, 0, 0};

std::string Hex(const Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

void CheckRecord(const Bytes& record, const char* when) {
    FUZZ_CHECK(record.size() == 24 && Bytes(record.begin(), record.begin() + 16) == kIdentity,
               std::string(when) + ": " + Hex(record));
}

bool KnownFailure(PF_Err err) {
    return err == PF_Err_OUT_OF_MEMORY || err == PF_Err_INTERNAL_STRUCT_DAMAGED;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::EffectHost& effect = fuzz::TheEffectHost();
    fuzz::AppliedInstance applied(effect, false);
    host::Instance& instance = *applied;
    fuzz::Bytes in(data, size);
    const std::uint8_t failure = in.Byte();
    const std::string rest = in.Rest();
    const Bytes stored(rest.begin(), rest.end());

    // One in four inputs makes the n-th handle allocation or lock of the re-setup and its round trip fail.
    const bool failing = failure < 64;
    if (failing)
        effect.host->Faults().Inject(failure & 1 ? host::Fault::LockHandle : host::Fault::NewHandle,
                                     1 + ((failure >> 1) & 7));

    PF_Err err = instance.SequenceResetup(stored);
    if (!err) {
        CheckRecord(instance.SequenceBytes(), "after re-setup");
        const Bytes record = instance.SequenceBytes();
        Bytes flat;
        err = instance.SequenceFlatten(&flat);
        if (!err)
            err = instance.SequenceResetup();
        if (!err) {
            FUZZ_CHECK(instance.SequenceBytes() == record, "a flattened record came back as " +
                                                               Hex(instance.SequenceBytes()) + ", not " +
                                                               Hex(record));
            Bytes again;
            err = instance.SequenceFlatten(&again);
            FUZZ_CHECK(err || again == flat, "a second flattening gave other bytes");
        }
    }
    effect.host->Faults().Clear();
    FUZZ_CHECK(!err || (failing && KnownFailure(err)),
               "the sequence commands answered " + std::to_string(err));
    const std::string complaints = applied.Finish();
    FUZZ_CHECK(complaints.empty(), complaints);
    return 0;
}
