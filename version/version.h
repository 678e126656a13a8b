#pragma once

#include <string>

namespace versalo {

// "2.6.5": the program's version as the build set it, the numbers in plain decimal.
std::string VersionNumberText();

// "Versalo 2.6.5": what both programs print for --version.
std::string VersionLine();

// " (V2.6.5)": a blank, then the version in parentheses, as the info dialog shows it after the name.
std::string VersionText();

}  // namespace versalo
