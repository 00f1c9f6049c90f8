#pragma once
// Stored parameter defaults: an INI file beside the plug-in with the plug-in's base name, one section
// "Version=1.0", one key per parameter (colours: one per channel) holding the value as printf text.
#include <cstddef>

#include "params/Controls.h"
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

// Reads under the current section; the fallback is the answer for a missing file, section or key.
A_long ReadStoredInt(const char* path, const char* key, A_long fallback);
// The fallback goes through "%f" text as well, so a default comes back rounded to six decimals; the
// text is converted under the runtime's locale. A text that gives no finite float gives the fallback.
float ReadStoredFloat(const char* path, const char* key, float fallback);

// The red, green and blue of a colour control, each under the control's name and ".r", ".g" or ".b";
// alpha is the fallback's.
PF_Pixel ReadStoredColor(const char* path, const char* name, PF_Pixel fallback);

// Writes under the current section; nothing when the section is empty. Failures are ignored.
void WriteStoredInt(const char* path, const char* key, A_long value);
void WriteStoredFloat(const char* path, const char* key, double value);

// Writes `value` (a record of the control as the host holds it) as the control's stored default: whole
// numbers for popups, sliders and checkboxes, "%f" text for float sliders, one key per channel (".r",
// ".g", ".b", ".a") for colours; nothing for topics or when `path` is null.
void WriteStoredDefault(const char* path, const ControlDef& control, const PF_ParamDef& value);

// After Effects before effect API 12.12 never reads stored defaults.
bool IsLegacyHost(const PF_InData* in_data) noexcept;
