// Profile (INI) files over arbitrary bytes: reading them, and the text edit that setting a key makes. For any
// file:
//   - every stored default read from it is a value its control takes;
//   - a text read into a buffer of any size is terminated inside it, and a one-off read answers as a
//     snapshot of the file does;
//   - setting a key (of the file's own sections and keys, or new ones) to a value makes the key read back
//     as that value and leaves what every other key reads as it was; a UTF-16 text is refused unchanged.
// Storing through files is the stored_defaults target's.
//
// Input: one byte for the size of the read buffers, four choosing the key set and its value, then the file.
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "fuzz/IniSupport.h"
#include "params/Controls.h"
#include "params/StoredDefaults.h"
#include "platform/Profile.h"
#include "platform/ProfileText.h"

namespace {

using fuzz::Entry;
using fuzz::Shown;
using platform::profile_text::Document;

// Reads of names the file holds into a buffer of `size`: terminated inside the buffer, the length returned
// is the text's; and a one-off read (which reads the file again) answers as the snapshot does.
void CheckStringReads(const std::string& path, const std::vector<Entry>& entries, unsigned size) {
    const platform::ProfileSnapshot snapshot(path.c_str());
    std::vector<char> buffer(size + 1, '\x7f');
    for (const Entry& entry : entries) {
        const unsigned n =
            snapshot.ReadString(entry.section.c_str(), entry.key.c_str(), "fallback  ", buffer.data(), size);
        FUZZ_CHECK(n < size && std::strlen(buffer.data()) == n && buffer[size] == '\x7f',
                   "[" + Shown(entry.section) + "] " + Shown(entry.key) + " read " + std::to_string(n) +
                       " into " + std::to_string(size));
    }
    const Entry& first = entries.front();
    std::vector<char> once(size + 1, '\x7f');
    const unsigned n = platform::ReadProfileString(first.section.c_str(), first.key.c_str(), "fallback  ",
                                                   once.data(), size, path.c_str());
    const unsigned m =
        snapshot.ReadString(first.section.c_str(), first.key.c_str(), "fallback  ", buffer.data(), size);
    FUZZ_CHECK(m == n && std::memcmp(once.data(), buffer.data(), n + 1) == 0 && once[size] == '\x7f',
               "a one-off read answers [" + Shown(first.section) + "] " + Shown(first.key) + " otherwise");
    (void)platform::ReadProfileInt(first.section.c_str(), first.key.c_str(), -1, path.c_str());
}

// A name or value that reads back as written: letters, digits, inner spaces and a few marks; no spaces at
// the ends, no quotes around it, no '=' or brackets.
std::string PlainText(std::mt19937& random, std::size_t maxLength) {
    static const char kCharacters[] = "abcXYZ0129 .,:_-#;";
    const std::size_t length = 1 + random() % maxLength;
    std::string text;
    for (std::size_t i = 0; i < length; ++i)
        text += kCharacters[random() % (sizeof kCharacters - 1)];
    text.front() = 'k';
    text.back() = 'v';
    return text;
}

// Sets one key, chosen from the file's own entries and the stored defaults' names or made up, and checks
// what every entry reads afterwards.
void CheckEdit(const std::string& original, const std::vector<Entry>& entries, std::uint32_t seed) {
    std::mt19937 random(seed);
    Entry target;
    switch (random() % 4) {
    case 0: // a key of the file, where it is
        if (!entries.empty()) {
            target = entries[random() % entries.size()];
            break;
        }
        [[fallthrough]];
    case 1: // a stored default's key
        target = {StoredDefaultsSection(), kControls[random() % std::size(kControls)].name};
        break;
    case 2: // a new key in a section of the file
        target = {entries.empty() ? std::string() : entries[random() % entries.size()].section,
                  PlainText(random, 12)};
        break;
    default: // a new section
        target = {PlainText(random, 12), PlainText(random, 12)};
        break;
    }
    // The file's keys hold no '=' and, when they start with '[', no ']': written with a plain value, each is
    // a key line again. An empty name is the nameless key of a line such as "=value".
    const std::string value = PlainText(random, 24);
    if (target.key.empty())
        return;

    Document edited(original);
    if (!edited.Set(target.section, target.key, value)) {
        FUZZ_CHECK(edited.encoding() == platform::profile_text::Encoding::Utf16,
                   "an edit of an 8-bit text was refused");
        FUZZ_CHECK(edited.bytes() == original, "a refused edit changed the text");
        return;
    }
    const Document before(original);
    const fuzz::Answer read = fuzz::Lookup(edited, target.section, target.key);
    FUZZ_CHECK(read.found && read.value == value, "[" + Shown(target.section) + "] " + Shown(target.key) +
                                                      " set to \"" + value + "\" reads \"" +
                                                      Shown(read.value) + "\"");
    for (const Entry& entry : entries)
        if (!fuzz::SameProfileName(entry.section, target.section) ||
            !fuzz::SameProfileName(entry.key, target.key))
            FUZZ_CHECK(fuzz::Lookup(edited, entry.section, entry.key) ==
                           fuzz::Lookup(before, entry.section, entry.key),
                       "setting [" + Shown(target.section) + "] " + Shown(target.key) + " changed [" +
                           Shown(entry.section) + "] " + Shown(entry.key));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Bytes in(data, size);
    const unsigned bufferSize = 1 + in.Byte();
    const std::uint32_t seed = in.U32();
    const std::string original = in.Rest();

    const std::string path = fuzz::ScratchFolder() + "/Tovrin.ini";
    fuzz::WriteWholeFile(path, original);
    FillStoredDefaultsSection();

    fuzz::CheckStoredDefaultsInRange(StoredDefaultsReader(path.c_str()));
    const std::vector<Entry> entries = fuzz::KeysOf(Document(original));
    std::vector<Entry> someEntries(entries.begin(),
                                   entries.begin() + std::min<std::size_t>(entries.size(), 8));
    someEntries.push_back({StoredDefaultsSection(), "Blur Repeat Num"});
    someEntries.push_back({"", ""});
    CheckStringReads(path, someEntries, bufferSize);
    CheckEdit(original, entries, seed);
    return 0;
}
