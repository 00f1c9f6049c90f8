#pragma once
// What the profile-file fuzz targets share: scratch-file helpers, the entries a profile text holds and
// what a reader answers for them, and the check that stored defaults read back as values their controls take.
#include <string>
#include <string_view>
#include <vector>

#include "params/StoredDefaults.h"
#include "platform/ProfileText.h"

namespace fuzz {

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);

// Names as the profile lookups compare them: trimmed of spaces (a key line "R\t\0=" is named "R\t", which a
// lookup of "R\t" trims to "R"), ASCII letters without regard to case.
bool SameProfileName(std::string_view a, std::string_view b);
// Bytes for a message: printable ASCII as it is, everything else as \xNN.
std::string Shown(std::string_view s);

// What a reader of the text answers for (section, key): whether the key has a value, and the value.
struct Answer {
    bool found = false;
    std::string value;
    bool operator==(const Answer&) const = default;
};
Answer Lookup(const platform::profile_text::Document& doc, std::string_view section, std::string_view key);

// The section and key of every key line of the text (the nameless part before any section is "").
struct Entry {
    std::string section, key;
};
std::vector<Entry> KeysOf(const platform::profile_text::Document& doc);

// Every control's stored default, read through `reader`, is a value the control takes.
void CheckStoredDefaultsInRange(const StoredDefaultsReader& reader);

} // namespace fuzz
