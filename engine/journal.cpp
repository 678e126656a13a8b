#include "engine/journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "collection/paths.h"
#include "collection/version.h"
#include "engine/error_text.h"

namespace versalo {

std::string JournalString(const std::string& bytes) {
    std::string out = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += c;
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
            out += escaped;
        }
    }
    out += '"';
    return out;
}

JournalWriter::JournalWriter(const std::string& path) {
    char* workingFolder = ::getcwd(nullptr, 0);
    if (workingFolder == nullptr) {
        m_error = errno;
        return;
    }
    m_workingFolder = workingFolder;
    std::free(workingFolder);
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        m_error = errno;
        return;
    }
    WriteLine("{\"journal\":\"versalo\",\"version\":\"" + VersionNumberText() + "\"}");
}

JournalWriter::~JournalWriter() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void JournalWriter::Renamed(const RenameStep& step) {
    if (step.folder != m_lastFolder || m_lastFolderText.empty()) {
        m_lastFolder = step.folder;
        m_lastFolderText = JournalString(Absolute(step.folder));
    }
    WriteLine("{\"folder\":" + m_lastFolderText + ",\"old\":" + JournalString(step.oldName) +
              ",\"new\":" + JournalString(step.newName) + "}");
}

std::string JournalWriter::Absolute(const std::string& folder) const {
    if (folder.starts_with('/')) {
        return folder;
    }
    std::string_view relative = folder;
    while (relative.starts_with("./")) {
        relative.remove_prefix(2);
    }
    if (relative.empty() || relative == ".") {
        return m_workingFolder;
    }
    return JoinPath(m_workingFolder, relative);
}

void JournalWriter::WriteLine(const std::string& line) {
    if (m_fd < 0 || m_error != 0) {
        return;
    }
    const std::string text = line + "\n";
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(m_fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            m_error = errno;
            return;
        }
        written += static_cast<std::size_t>(n);
    }
}

namespace {

// Parses one journal line: a flat JSON object whose values are strings in the journal's escaping.
bool ParseLine(const std::string& line, std::map<std::string, std::string>& fields) {
    std::size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) {
            ++i;
        }
    };
    const auto parseString = [&](std::string& out) {
        if (i >= line.size() || line[i] != '"') {
            return false;
        }
        ++i;
        while (i < line.size() && line[i] != '"') {
            if (line[i] != '\\') {
                out += line[i++];
                continue;
            }
            if (++i >= line.size()) {
                return false;
            }
            const char escape = line[i++];
            switch (escape) {
                case '"':
                case '\\':
                case '/':
                    out += escape;
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'u': {
                    if (i + 4 > line.size()) {
                        return false;
                    }
                    unsigned value = 0;
                    for (int k = 0; k < 4; ++k) {
                        const char h = line[i++];
                        value <<= 4;
                        if (h >= '0' && h <= '9') {
                            value |= static_cast<unsigned>(h - '0');
                        } else if (h >= 'a' && h <= 'f') {
                            value |= static_cast<unsigned>(h - 'a' + 10);
                        } else if (h >= 'A' && h <= 'F') {
                            value |= static_cast<unsigned>(h - 'A' + 10);
                        } else {
                            return false;
                        }
                    }
                    if (value > 0xFF) {
                        return false;  // one character per byte: nothing above \u00FF is ours
                    }
                    out += static_cast<char>(value);
                    break;
                }
                default:
                    return false;
            }
        }
        if (i >= line.size()) {
            return false;
        }
        ++i;
        return true;
    };

    skipBlanks();
    if (i >= line.size() || line[i++] != '{') {
        return false;
    }
    skipBlanks();
    if (i < line.size() && line[i] == '}') {
        ++i;
    } else {
        while (true) {
            std::string key;
            std::string value;
            skipBlanks();
            if (!parseString(key)) {
                return false;
            }
            skipBlanks();
            if (i >= line.size() || line[i++] != ':') {
                return false;
            }
            skipBlanks();
            if (!parseString(value)) {
                return false;
            }
            fields[key] = value;
            skipBlanks();
            if (i < line.size() && line[i] == ',') {
                ++i;
                continue;
            }
            if (i < line.size() && line[i] == '}') {
                ++i;
                break;
            }
            return false;
        }
    }
    skipBlanks();
    return i == line.size();
}

}  // namespace

bool ReadJournal(const std::string& path, std::vector<RenameStep>& steps, std::string& error,
                 std::string& warning) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "das Journal '" + path + "' kann nicht gelesen werden: " + ErrorText(errno);
        return false;
    }
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string content = buffer.str();

    bool sawHeader = false;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        const bool finished = end != std::string::npos;
        if (!finished) {
            end = content.size();
        }
        const std::string line = content.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (line.empty()) {
            continue;
        }
        std::map<std::string, std::string> fields;
        if (!ParseLine(line, fields)) {
            if (!finished) {
                warning = "Die letzte Zeile des Journals ist unvollständig und wird übergangen.";
                break;
            }
            error = "Zeile " + std::to_string(lineNumber) + " des Journals '" + path + "' ist nicht lesbar.";
            return false;
        }
        if (fields.contains("journal")) {
            if (fields["journal"] != "versalo") {
                error = "'" + path + "' ist kein Journal von Versalo.";
                return false;
            }
            sawHeader = true;
            continue;
        }
        if (!sawHeader) {
            error = "'" + path + "' ist kein Journal von Versalo.";
            return false;
        }
        if (!fields.contains("folder") || !fields.contains("old") || !fields.contains("new") ||
            fields["old"].empty() || fields["new"].empty() || fields["old"].find('/') != std::string::npos ||
            fields["new"].find('/') != std::string::npos) {
            error = "Zeile " + std::to_string(lineNumber) + " des Journals '" + path + "' ist nicht lesbar.";
            return false;
        }
        steps.push_back({fields["folder"], fields["old"], fields["new"]});
    }
    if (!sawHeader) {
        error = "'" + path + "' ist kein Journal von Versalo.";
        return false;
    }
    return true;
}

}  // namespace versalo
