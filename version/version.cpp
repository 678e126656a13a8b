#include "version/version.h"

#include "version_config.h"

namespace versalo {

VersionNumbers ProgramVersion() {
    return {VERSALO_VERSION_MAJOR, VERSALO_VERSION_MINOR, VERSALO_VERSION_PATCH};
}

std::string VersionNumberText(const VersionNumbers& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.revision);
}

std::string VersionText(const VersionNumbers& version) {
    return " (V" + VersionNumberText(version) + ")";
}

}  // namespace versalo
