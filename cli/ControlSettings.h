#pragma once
// The values a command line gives: a preset first, then every --set, which wins over the preset.
#include <string>
#include <vector>

#include "cli/Controls.h"

namespace cli {

// Every value is parsed and checked before any is applied, so a refusal leaves the instance as it was.
// Returns the controls that --set gave a value (the ones the user chose by hand). Throws a usage error
// (--set) or a file error (--preset).
std::vector<const Control*> ApplyPresetAndSets(host::Instance& instance, const std::vector<Control>& controls,
                                               const std::string& matchName, const std::string& preset,
                                               const std::vector<std::string>& sets,
                                               std::vector<std::string>* warnings);

} // namespace cli
