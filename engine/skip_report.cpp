#include "engine/skip_report.h"

#include <algorithm>
#include <cstdio>

#include "engine/drop_batch.h"
#include "engine/text_case.h"

namespace versalo {

void SkipReport::Add(std::string path, std::string reason, SkipKind kind) {
    m_entries.push_back({std::move(path), std::move(reason), kind});
}

void SkipReport::AddNotEntered(std::string path, std::string reason) {
    Add(std::move(path), std::move(reason), SkipKind::kNotEntered);
}

std::string Counted(std::size_t count, std::string_view one, std::string_view many) {
    std::string text = std::to_string(count);
    text += ' ';
    text += count == 1 ? one : many;
    return text;
}

std::string SkipReport::Summary(NameQuoting quoting, std::size_t maxListed) const {
    std::string text;
    std::size_t listed = 0;
    // Each kind's heading, for one entry and for several; first the entries that need the user
    // (under a temporary name, under two names, not confirmed), which a long list of names that
    // were taken must not push below the limit.
    static constexpr struct {
        SkipKind kind;
        const char* one;
        const char* many;
    } kHeadings[] = {
        {SkipKind::kStranded,
         "Eintrag steht unter einem vorläufigen Namen statt unter seinem alten oder neuen:\n",
         "Einträge stehen unter einem vorläufigen Namen statt unter ihrem alten oder neuen:\n"},
        {SkipKind::kTwoNames, "Datei hat jetzt zwei Namen:\n", "Dateien haben jetzt zwei Namen:\n"},
        {SkipKind::kUnconfirmed,
         "Eintrag wurde umbenannt, aber seine neue Schreibweise ist nicht bestätigt:\n",
         "Einträge wurden umbenannt, aber ihre neue Schreibweise ist nicht bestätigt:\n"},
        {SkipKind::kKeptName, "Eintrag hat seinen Namen behalten:\n",
         "Einträge haben ihren Namen behalten:\n"},
        {SkipKind::kNotEntered,
         "Ordner konnte nicht betreten werden; was darin liegt, hat seinen Namen behalten:\n",
         "Ordner konnten nicht betreten werden; was darin liegt, hat seinen Namen behalten:\n"},
    };
    for (const auto& heading : kHeadings) {
        const std::size_t count = static_cast<std::size_t>(std::ranges::count_if(
            m_entries, [&](const SkippedEntry& entry) { return entry.kind == heading.kind; }));
        if (count == 0) {
            continue;
        }
        text += Counted(count, heading.one, heading.many);
        std::size_t shown = 0;
        for (const SkippedEntry& entry : m_entries) {
            if (entry.kind != heading.kind) {
                continue;
            }
            if (listed == maxListed) {
                text += "... und " + std::to_string(count - shown) + " weitere.\n";
                break;
            }
            // Appended piece by piece: GCC 12 at -O3 warns wrongly (-Wrestrict) on a chain of "+".
            text += QuotedName(entry.path, quoting);
            text += ": ";
            text += entry.reason;
            text += '\n';
            ++listed;
            ++shown;
        }
    }
    return text;
}

namespace {

// Length of the UTF-8 character at text[i] when it is valid and printable, else 0. Printable here
// is what a UTF-8 terminal shows as a character: not a C0 or C1 control, not DEL.
std::size_t PrintableCharAt(std::string_view text, std::size_t i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) {
        return 0;
    }
    const std::size_t length = Utf8CharLength(text, i);
    // U+0080 to U+009F, the C1 controls: a terminal acts on some of them.
    const bool c1Control = length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    return c1Control ? 0 : length;
}

void AppendEscaped(std::string& out, unsigned char byte) {
    switch (byte) {
        case '\a':
            out += "\\a";
            return;
        case '\b':
            out += "\\b";
            return;
        case '\t':
            out += "\\t";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\v':
            out += "\\v";
            return;
        case '\f':
            out += "\\f";
            return;
        case '\r':
            out += "\\r";
            return;
        default: {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned>(byte));
            out += octal;
        }
    }
}

}  // namespace

std::string PrintablePath(const std::string& path) {
    std::string result;
    result.reserve(path.size());
    std::size_t i = 0;
    while (i < path.size()) {
        if (const std::size_t length = PrintableCharAt(path, i); length > 0) {
            result.append(path, i, length);
            i += length;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(path[i]));
            result += escaped;
            ++i;
        }
    }
    return result;
}

std::string ShellQuoted(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 2);
    out += '\'';
    bool escaping = false;  // inside a $'...' piece
    std::size_t i = 0;
    while (i < name.size()) {
        const std::size_t length = PrintableCharAt(name, i);
        if (length == 0) {
            if (!escaping) {
                out += "'$'";
                escaping = true;
            }
            AppendEscaped(out, static_cast<unsigned char>(name[i]));
            ++i;
            continue;
        }
        if (escaping) {
            out += "''";
            escaping = false;
        }
        if (name[i] == '\'') {
            out += "'\\''";
        } else {
            out.append(name, i, length);
        }
        i += length;
    }
    out += '\'';
    return out;
}

std::string QuotedName(std::string_view name, NameQuoting quoting) {
    if (quoting == NameQuoting::kShell) {
        return ShellQuoted(name);
    }
    std::string out = "'";
    out += PrintablePath(std::string(name));
    out += '\'';
    return out;
}

}  // namespace versalo
