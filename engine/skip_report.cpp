#include "engine/skip_report.h"

#include <cstdio>

#include "collection/text_case.h"

namespace versalo {

void SkipReport::Add(std::string path, std::string reason) {
    m_entries.push_back({std::move(path), std::move(reason)});
}

std::string SkipReport::Summary(std::size_t maxListed) const {
    if (m_entries.empty()) {
        return {};
    }
    std::string text = m_entries.size() == 1
                           ? std::string("1 Eintrag hat seinen Namen behalten:\n")
                           : std::to_string(m_entries.size()) + " Einträge haben ihren Namen behalten:\n";
    std::size_t listed = 0;
    for (const SkippedEntry& entry : m_entries) {
        if (listed == maxListed) {
            text += "... und " + std::to_string(m_entries.size() - listed) + " weitere.\n";
            break;
        }
        // Appended piece by piece: GCC 12 at -O3 warns wrongly (-Wrestrict) on a chain of "+".
        text += '\'';
        text += PrintablePath(entry.path);
        text += "': ";
        text += entry.reason;
        text += '\n';
        ++listed;
    }
    return text;
}

std::string PrintablePath(const std::string& path) {
    std::string result;
    result.reserve(path.size());
    std::size_t i = 0;
    while (i < path.size()) {
        const auto byte = static_cast<unsigned char>(path[i]);
        std::size_t length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        if (i + length <= path.size() && IsValidUtf8(std::string_view(path).substr(i, length)) &&
            (byte >= 0x20 && byte != 0x7F)) {
            result.append(path, i, length);
            i += length;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            result += escaped;
            ++i;
        }
    }
    return result;
}

}  // namespace versalo
