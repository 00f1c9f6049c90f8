#pragma once
// A failure of the host itself (a plug-in it refuses, a file it cannot read), as opposed to a code
// the plug-in returns.
#include <stdexcept>
#include <string>

namespace host {

class HostError : public std::runtime_error {
public:
    explicit HostError(const std::string& what) : std::runtime_error(what) {}
};

} // namespace host
