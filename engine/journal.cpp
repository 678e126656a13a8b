#include "engine/journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <nlohmann/json.hpp>
#include <optional>

#include "engine/error_text.h"
#include "engine/paths.h"
#include "engine/skip_report.h"
#include "engine/text_case.h"
#include "version/version.h"

namespace versalo {

namespace {

// Keys in the order written, so that a line reads naturally.
using Json = nlohmann::ordered_json;

constexpr int kFormat = 2;
constexpr off_t kBlockSize = 64 * 1024;

std::string Hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

bool FromHex(const std::string& text, std::string& bytes) {
    if (text.size() % 2 != 0) {
        return false;
    }
    const auto digit = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = digit(text[i]);
        const int low = digit(text[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes += static_cast<char>(high * 16 + low);
    }
    return true;
}

// A name or path: as it is when it is UTF-8, else readable and, beside it, exact.
void PutText(Json& line, const std::string& key, const std::string& bytes) {
    if (IsValidUtf8(bytes)) {
        line[key] = bytes;
    } else {
        line[key] = PrintablePath(bytes);
        line[key + "_hex"] = Hex(bytes);
    }
}

bool GetText(const Json& line, const std::string& key, std::string& bytes) {
    const auto exact = line.find(key + "_hex");
    if (exact != line.end()) {
        return exact->is_string() && FromHex(exact->get<std::string>(), bytes);
    }
    const auto text = line.find(key);
    if (text == line.end() || !text->is_string()) {
        return false;
    }
    bytes = text->get<std::string>();
    return true;
}

// The earlier format wrote one character per byte; the parser hands those out as UTF-8.
bool GetBytesPerCharacter(const Json& line, const char* key, std::string& bytes) {
    const auto text = line.find(key);
    if (text == line.end() || !text->is_string()) {
        return false;
    }
    const std::string& utf8 = text->get_ref<const std::string&>();
    bytes.clear();
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            bytes += static_cast<char>(byte);
        } else if ((byte & 0xE0) == 0xC0 && i + 1 < utf8.size() && byte <= 0xC3) {
            bytes += static_cast<char>(((byte & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            return false;  // above U+00FF: not written by that format
        }
    }
    return true;
}

bool IsName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool IsHeader(const Json& line) {
    const auto journal = line.find("journal");
    return journal != line.end() && journal->is_string() && journal->get<std::string>() == "versalo";
}

Json Parse(const std::string& line) {
    Json json = Json::parse(line, nullptr, /*allow_exceptions=*/false);
    return json.is_object() ? json : Json();
}

// A folder inside the folder of an earlier line of this run is written as that line's number and
// its own name: a tree thousands of levels deep would otherwise repeat its long paths over and
// over. chain holds the folder lines of the run whose paths lead to the last one written.
void PutFolderPath(Json& line, const std::string& path, unsigned long number, std::string& chainPath,
                   std::vector<std::pair<unsigned long, std::size_t>>& chain) {
    while (!chain.empty()) {
        const std::size_t length = chain.back().second;
        const bool below = path.size() > length && path.compare(0, length, chainPath, 0, length) == 0 &&
                           (length == 1 || path[length] == '/');
        if (below) {
            break;
        }
        chain.pop_back();
    }
    const std::size_t nameStart = chain.empty() ? 0 : chain.back().second == 1 ? 1 : chain.back().second + 1;
    if (!chain.empty() && path.find('/', nameStart) == std::string::npos) {
        line["in"] = chain.back().first;
        PutText(line, "name", path.substr(nameStart));
    } else {
        PutText(line, "path", path);
    }
    chainPath = path;
    chain.emplace_back(number, path.size());
}

}  // namespace

JournalWriter::JournalWriter(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    struct stat status {};
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0) {
        m_error = errno;
        return;
    }
    m_dev = status.st_dev;
    m_ino = status.st_ino;
    // A run stopped in the middle of a line (a full disk) left it unfinished: this run's header
    // must not be glued onto it.
    char last = '\n';
    if (status.st_size > 0 && ::pread(m_fd, &last, 1, status.st_size - 1) == 1 && last != '\n') {
        WriteLine("");
    }
    Json header;
    header["journal"] = "versalo";
    header["format"] = kFormat;
    header["version"] = VersionNumberText();
    WriteLine(header.dump());
}

JournalWriter::~JournalWriter() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

BeforeRename JournalWriter::Renaming(const RenameStep& step) {
    if (m_error != 0) {
        return BeforeRename::kStop;
    }
    struct stat entry {};
    if (::fstatat(step.dirfd, step.oldName.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        return BeforeRename::kGo;  // the rename fails in turn and is reported; nothing to note
    }
    if (entry.st_dev == m_dev && entry.st_ino == m_ino) {
        m_leftItselfOut = true;
        return BeforeRename::kLeaveOut;
    }
    struct stat folder {};
    if (::fstat(step.dirfd, &folder) != 0) {
        m_error = errno;
        return BeforeRename::kStop;
    }
    const bool newFolder =
        m_folderNumber == 0 || folder.st_dev != m_folder.dev || folder.st_ino != m_folder.ino;
    if (newFolder && !WriteFolderLine(step.dirfd)) {
        return BeforeRename::kStop;
    }
    if (S_ISDIR(entry.st_mode)) {
        m_folders.FolderMoving(entry.st_dev, entry.st_ino);
    }
    Json line;
    line["folder"] = m_folderNumber;
    line["ino"] = static_cast<std::uint64_t>(entry.st_ino);
    PutText(line, "old", step.oldName);
    PutText(line, "new", step.newName);
    return WriteLine(line.dump()) ? BeforeRename::kGo : BeforeRename::kStop;
}

bool JournalWriter::WriteFolderLine(int dirfd) {
    if (!m_folders.Identify(dirfd, m_folder)) {
        m_error = errno;
        return false;
    }
    Json line;
    line["folder"] = ++m_folderNumber;
    PutFolderPath(line, m_folder.path, m_folderNumber, m_chainPath, m_chain);
    line["dev"] = static_cast<std::uint64_t>(m_folder.dev);
    line["ino"] = static_cast<std::uint64_t>(m_folder.ino);
    return WriteLine(line.dump());
}

// One write per line, so that a line is in the file (in the system's hands) as soon as this
// returns: a run killed right afterwards, before or after its rename, still has it.
bool JournalWriter::WriteLine(const std::string& line) {
    if (m_fd < 0 || m_error != 0) {
        return false;
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
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

JournalReader::~JournalReader() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

namespace {

// What one pass forward over a journal, a block at a time, tells: the number of lines (for line
// numbers and progress), the first line (which must be a header of ours), and whether the last
// line ends with a newline. False with errno set when the file cannot be read.
struct JournalShape {
    std::size_t lines = 0;
    std::string first;
    bool endsWithNewline = true;
};

bool ReadShape(int fd, JournalShape& shape) {
    bool firstDone = false;
    char buffer[kBlockSize];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            shape.lines += shape.endsWithNewline ? 0 : 1;  // an unfinished last line
            return got == 0;
        }
        const char* begin = buffer;
        const char* end = buffer + got;
        shape.lines += static_cast<std::size_t>(std::count(begin, end, '\n'));
        if (!firstDone) {
            const char* newline = std::find(begin, end, '\n');
            shape.first.append(begin, newline);
            firstDone = newline != end || shape.first.size() > 1024 * 1024;
        }
        shape.endsWithNewline = end[-1] == '\n';
    }
}

}  // namespace

bool JournalReader::Open(const std::string& path, std::string& error) {
    m_path = path;
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    JournalShape shape;
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0 || !ReadShape(m_fd, shape)) {
        error = "das Journal '" + PrintablePath(path) + "' kann nicht gelesen werden: " + ErrorText(errno);
        return false;
    }
    // An empty file: a run killed before its first line; there is nothing to take back.
    if (status.st_size > 0 && !IsHeader(Parse(shape.first))) {
        // Built up piece by piece: GCC 12 warns falsely (-Wrestrict) about "'" + std::string&&.
        error = "'";
        error += PrintablePath(path);
        error += "' ist kein Journal von Versalo.";
        return false;
    }
    m_lines = shape.lines;
    m_end = status.st_size;
    if (m_end > 0 && shape.endsWithNewline) {
        --m_end;  // the newline ending the last line
    }
    m_atStart = status.st_size == 0;
    m_lineNumber = m_lines + 1;
    return true;
}

bool JournalReader::LineBefore(off_t end, std::string& line, off_t& start) const {
    line.clear();
    // Lines are short as a rule: read a little first and more only for a long one.
    char buffer[kBlockSize];
    off_t chunk = 512;
    off_t position = end;
    while (position > 0) {
        const off_t from = std::max<off_t>(0, position - chunk);
        chunk = std::min<off_t>(chunk * 4, kBlockSize);
        const auto size = static_cast<std::size_t>(position - from);
        if (::pread(m_fd, buffer, size, from) != static_cast<ssize_t>(size)) {
            return false;
        }
        for (std::size_t i = size; i-- > 0;) {
            if (buffer[i] == '\n') {
                line.insert(0, buffer + i + 1, size - i - 1);
                start = from + static_cast<off_t>(i) + 1;
                return true;
            }
        }
        line.insert(0, buffer, size);
        position = from;
    }
    start = 0;
    return true;
}

SkippedEntry JournalReader::Problem(std::size_t lineNumber, const std::string& reason) const {
    return {m_path + ":" + std::to_string(lineNumber), reason};
}

namespace {

// The fields of folder line number: its device and inode, and either its whole path or the
// folder line it lies in and its name there. False when they are not all there and sound.
bool ReadFolderLine(const Json& json, unsigned long number, JournalReader::FolderLine& found) {
    const auto dev = json.find("dev");
    const auto ino = json.find("ino");
    const auto in = json.find("in");
    if (dev == json.end() || !dev->is_number_unsigned() || ino == json.end() || !ino->is_number_unsigned()) {
        return false;
    }
    found.dev = static_cast<dev_t>(dev->get<std::uint64_t>());
    found.ino = static_cast<ino_t>(ino->get<std::uint64_t>());
    if (in != json.end()) {
        found.in = in->is_number_unsigned() ? in->get<unsigned long>() : number;
        return found.in < number && GetText(json, "name", found.text) && IsName(found.text);
    }
    found.in = 0;
    return GetText(json, "path", found.text) && found.text.starts_with('/');
}

}  // namespace

bool JournalReader::FindFolderLine(unsigned long number, off_t before, bool nearest,
                                   FolderLine& found) const {
    // Back from a line to the folder line of that number; a header or an unreadable line on the
    // way (the start of this run) means it is not there, and so, when the nearest folder line is
    // asked for, does a folder line of another number.
    std::string line;
    for (off_t end = before - 1; end >= 0;) {
        off_t start = 0;
        if (!LineBefore(end, line, start)) {
            return false;
        }
        end = start - 1;
        if (line.empty()) {
            continue;
        }
        const Json json = Parse(line);
        if (json.is_null() || IsHeader(json)) {
            return false;
        }
        const auto folder = json.find("folder");
        if (folder == json.end() || !folder->is_number_unsigned() || json.contains("old")) {
            continue;  // a rename line (or one of the earlier format)
        }
        if (folder->get<unsigned long>() != number) {
            if (nearest) {
                return false;
            }
            continue;
        }
        found.start = start;
        return ReadFolderLine(json, number, found);
    }
    return false;
}

bool JournalReader::CutChainAt(unsigned long number) {
    const auto known = std::find_if(m_chain.begin(), m_chain.end(),
                                    [&](const ChainFolder& chain) { return chain.number == number; });
    if (known == m_chain.end()) {
        return false;
    }
    m_chain.erase(known + 1, m_chain.end());
    m_chainPath.resize(known->length);
    return true;
}

bool JournalReader::FindFolder(unsigned long number, off_t before, FolderIdentity& folder) {
    // The folder lines above are climbed until one with a whole path, or one whose path is known
    // from the last folder found: m_chain holds the folders on m_chainPath, outermost first.
    std::vector<std::pair<unsigned long, FolderLine>> pending;  // the folders below it, innermost first
    unsigned long current = number;
    while (!CutChainAt(current)) {
        FolderLine line;
        if (!FindFolderLine(current, before, /*nearest=*/pending.empty(), line)) {
            return false;
        }
        if (line.in == 0) {
            m_chain.assign(1, {current, line.dev, line.ino, line.text.size()});
            m_chainPath = line.text;
            break;
        }
        before = line.start;
        const unsigned long in = line.in;
        pending.emplace_back(current, std::move(line));
        current = in;
    }
    for (auto step = pending.rbegin(); step != pending.rend(); ++step) {
        m_chainPath = JoinPath(m_chainPath, step->second.text);
        m_chain.push_back({step->first, step->second.dev, step->second.ino, m_chainPath.size()});
    }
    const ChainFolder& target = m_chain.back();
    if (target.number != number) {
        return false;
    }
    folder = {m_chainPath, target.dev, target.ino};
    return true;
}

namespace {

constexpr const char* kUnreadable =
    "die Zeile ist nicht lesbar (abgeschnitten oder beschädigt) und wird übergangen";

// A rename line of the earlier format: the folder on every line, no device or inode numbers.
bool ReadEarlierLine(const Json& json, UndoStep& step) {
    return GetBytesPerCharacter(json, "folder", step.folder) &&
           GetBytesPerCharacter(json, "old", step.oldName) &&
           GetBytesPerCharacter(json, "new", step.newName) && IsName(step.oldName) && IsName(step.newName) &&
           step.folder.starts_with('/');
}

// The entry's inode and its old and new name from a rename line.
bool ReadRenameLine(const Json& json, UndoStep& step) {
    const auto ino = json.find("ino");
    if (ino == json.end() || !ino->is_number_unsigned() || !GetText(json, "old", step.oldName) ||
        !GetText(json, "new", step.newName) || !IsName(step.oldName) || !IsName(step.newName)) {
        return false;
    }
    step.ino = static_cast<ino_t>(ino->get<std::uint64_t>());
    return true;
}

}  // namespace

UndoSource::Next JournalReader::Read(UndoStep& step, SkippedEntry& problem) {
    std::string line;
    while (!m_atStart) {
        off_t start = 0;
        if (!LineBefore(m_end, line, start)) {
            problem = {m_path, "das Journal kann nicht weitergelesen werden: " + ErrorText(errno)};
            m_atStart = true;
            return Next::kProblem;
        }
        --m_lineNumber;
        m_atStart = start == 0;
        m_end = start - 1;
        if (line.empty()) {
            continue;
        }
        if (const std::optional<Next> next = Interpret(line, start, step, problem)) {
            return *next;
        }
    }
    return Next::kEnd;
}

std::optional<UndoSource::Next> JournalReader::Interpret(const std::string& line, off_t start, UndoStep& step,
                                                         SkippedEntry& problem) {
    const Json json = Parse(line);
    const auto unreadable = [&] {
        problem = Problem(m_lineNumber, kUnreadable);
        return Next::kProblem;
    };
    if (json.is_null()) {
        return unreadable();
    }
    if (IsHeader(json)) {
        m_haveFolder = false;
        m_chain.clear();  // the numbers of folder lines count from 1 in each run
        return std::nullopt;
    }
    step = {};
    const auto folder = json.find("folder");
    if (folder != json.end() && folder->is_string()) {
        return ReadEarlierLine(json, step) ? Next::kStep : unreadable();
    }
    if (folder == json.end() || !folder->is_number_unsigned()) {
        return unreadable();
    }
    if (json.contains("path") || json.contains("in")) {
        m_haveFolder = false;  // rename lines above this one belong to other folder lines
        return std::nullopt;
    }
    if (!ReadRenameLine(json, step)) {
        return unreadable();
    }
    const unsigned long number = folder->get<unsigned long>();
    if (!m_haveFolder || m_folderNumber != number) {
        m_haveFolder = FindFolder(number, start, m_folder);
        m_folderNumber = number;
    }
    if (!m_haveFolder) {
        problem = Problem(
            m_lineNumber,
            "die Ordnerzeile, auf die sich die Zeile bezieht, fehlt oder ist nicht lesbar; übergangen");
        return Next::kProblem;
    }
    step.folder = m_folder.path;
    step.identified = true;
    step.folderDev = m_folder.dev;
    step.folderIno = m_folder.ino;
    return Next::kStep;
}

double JournalReader::Percent() const {
    return m_lines == 0
               ? 100.0
               : static_cast<double>(m_lines + 1 - m_lineNumber) / static_cast<double>(m_lines) * 100.0;
}

}  // namespace versalo
