#pragma once
// A project as the host stores an effect instance: parameter values by persistent id and the flat
// sequence data. Saved as a small line-based text file (see README.md, "Project files").
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "sdk/AE_Effect.h"

namespace host {

struct ProjectValue {
    A_long id = 0;
    PF_ParamType type = PF_Param_RESERVED;
    PF_ParamDefUnion value{}; // only the value fields of the kind are meaningful
};

struct Project {
    std::string matchName;
    A_u_long version = 0;
    std::vector<ProjectValue> values;
    std::vector<std::uint8_t> sequenceData; // flat, as the plug-in wrote it
};

// Parameter kinds a project stores; others (layers, topics, arbitrary data) carry no value of their own.
bool ProjectStoresKind(PF_ParamType type);

std::string WriteProjectText(const Project& project);
Project ReadProjectText(const std::string& text); // throws HostError naming the line at fault
void SaveProject(const Project& project, const std::filesystem::path& file);
Project LoadProject(const std::filesystem::path& file);

} // namespace host
