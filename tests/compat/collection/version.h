#pragma once

// The earlier place and form of the version; only for tests written against it.

#include <cstdio>

#include "version/version.h"

namespace versalo {

struct VersionNumbers {
    int major = 0;
    int minor = 0;
    int revision = 0;
};

inline VersionNumbers ProgramVersion() {
    VersionNumbers version;
    std::sscanf(VersionNumberText().c_str(), "%d.%d.%d", &version.major, &version.minor, &version.revision);
    return version;
}

}  // namespace versalo
