#include "version/version.h"

#include "version_config.h"

namespace versalo {

std::string VersionNumberText() {
    return std::to_string(VERSALO_VERSION_MAJOR) + "." + std::to_string(VERSALO_VERSION_MINOR) + "." +
           std::to_string(VERSALO_VERSION_PATCH);
}

std::string VersionText() {
    return " (V" + VersionNumberText() + ")";
}

std::string VersionLine() {
    return "Versalo " + VersionNumberText();
}

}  // namespace versalo
