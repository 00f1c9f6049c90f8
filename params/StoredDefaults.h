#pragma once
// Stored parameter defaults: an INI file beside the plug-in with the plug-in's base name, one section
// "Version=1.0", one key per parameter (colours: one per channel) holding the value as printf text.
#include <cstddef>
#include <optional>

#include "params/Controls.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "sdk/AE_Effect.h"

constexpr std::size_t kStoredDefaultsPathSize = AEFX_MAX_PATH;

// The section that reads and writes use: "Version=1.0" after a parameter setup that uses stored defaults,
// empty after one that does not (a legacy host) and before the first.
const char* StoredDefaultsSection() noexcept;
void FillStoredDefaultsSection() noexcept;
void EmptyStoredDefaultsSection() noexcept;

// Replaces the extension of the last path component (from its last '.', if any) by `extension`, as
// PathRenameExtensionA does; false, leaving `path` as it was, when the result would not fit `size`.
bool RenameExtension(char* path, std::size_t size, const char* extension);

// The plug-in's own path as the host reports it, with the extension ".ini". False when the host reports
// no path or the result does not fit: there is then no file to read or write, never the plug-in itself.
bool StoredDefaultsPath(PF_InData* in_data, char (&path)[kStoredDefaultsPathSize]);

// The stored defaults as the file held them at one moment: it is read once, so a store that replaces the
// file meanwhile is seen whole or not at all. Every answer is a value its control accepts: a stored text
// that is no number, or a number beyond what the control's type holds, gives the built-in default;
//   sliders          are clamped to their valid range (the repeat count is 1 to 10 whatever the file says);
//   float sliders    likewise; the text is converted under the runtime's locale, and a missing or unusable
//                    text gives the built-in default after a round trip through "%f" (six decimals);
//   popups           an item number outside the list gives the built-in item;
//   checkboxes       0 is off, any other number on;
//   colours          red, green and blue each clamped to 0..255 (".r", ".g", ".b"); alpha is 255.
// Integers are read as the profile functions read them (one sign; decimal, or hex, octal or binary after
// "0x", "0o", "0b"; the leading digits) but never wrap around. Reads use the current section.
class StoredDefaultsReader {
public:
    explicit StoredDefaultsReader(const char* path) : snapshot_(path) {}

    // Popups, sliders and checkboxes: the value as the host's record holds it.
    A_long Integer(const ControlDef& control) const;
    float Float(const ControlDef& control) const;
    PF_Pixel Color(const ControlDef& control) const;

private:
    std::optional<A_long> ReadInteger(const char* key) const;

    platform::ProfileSnapshot snapshot_;
};

// The keys of the stored-defaults file: one per control with a value, four per colour.
constexpr int StoredKeyCount() {
    int n = 0;
    for (const ControlDef& control : kControls)
        n += control.kind == ControlKind::Color                                                 ? 4
             : control.kind == ControlKind::TopicStart || control.kind == ControlKind::TopicEnd ? 0
                                                                                                : 1;
    return n;
}

// The stored-defaults text of every control, gathered for one write of the file.
class StoredDefaultsText {
public:
    // Adds the keys of `control` with the texts of `value` (a record of the control as the host holds it):
    // whole numbers for popups, sliders and checkboxes, "%f" text for float sliders, one key per channel
    // (".r", ".g", ".b", ".a") for colours; nothing for topics.
    void Add(const ControlDef& control, const PF_ParamDef& value);

    // Writes every key added under the current section, replacing the file whole (a reader sees the old
    // file or the new one); the result says what stopped it. Call only with a section.
    platform::FileResult WriteTo(const char* path) const;

private:
    static constexpr int kMaxEntries = StoredKeyCount();
    struct Entry {
        char key[PF_MAX_EFFECT_PARAM_NAME_LEN + 8];
        char value[320]; // "%f" of any double
    };
    Entry entries_[kMaxEntries];
    int count_ = 0;

    void Put(const char* key, const char* value);
};

// After Effects before effect API 12.12 never reads stored defaults.
bool IsLegacyHost(const PF_InData* in_data) noexcept;
