#pragma once

#include <string>

namespace versalo {

struct VersionNumbers {
    int major;
    int minor;
    int revision;
};

// The program's own version, as the build set it.
VersionNumbers ProgramVersion();

// "2.6.5": the numbers in plain decimal, without fill characters.
std::string VersionNumberText(const VersionNumbers& version = ProgramVersion());

// " (V2.6.5)": a blank, then the version in parentheses.
std::string VersionText(const VersionNumbers& version = ProgramVersion());

}  // namespace versalo
