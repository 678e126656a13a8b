#include "engine/journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>

#include "engine/error_text.h"
#include "engine/paths.h"
#include "engine/skip_report.h"
#include "engine/sys.h"
#include "engine/text_case.h"
#include "version/version.h"

namespace versalo {

namespace {

// Keys in the order written, so that a line reads naturally.
using Json = nlohmann::ordered_json;

constexpr int kFormat = 3;
constexpr std::size_t kMaxDepth = 4;  // our lines are flat objects
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

std::optional<std::int64_t> GetInteger(const Json& line, const char* key) {
    const auto value = line.find(key);
    if (value == line.end() || !value->is_number_integer()) {
        return std::nullopt;
    }
    return value->is_number_unsigned() && value->get<std::uint64_t>() > INT64_MAX
               ? std::nullopt
               : std::optional<std::int64_t>(value->get<std::int64_t>());
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

// True when the line's objects and arrays nest no deeper than ours ever do: the parser is spared
// a line made to nest a hundred thousand levels.
bool Shallow(const std::string& line) {
    std::size_t depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : line) {
        if (inString) {
            escaped = !escaped && c == '\\';
            inString = escaped || c != '"';
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > kMaxDepth) {
                return false;
            }
        } else if ((c == '}' || c == ']') && depth > 0) {
            --depth;
        }
    }
    return true;
}

Json Parse(const std::string& line) {
    if (!Shallow(line)) {
        return Json();
    }
    Json json = Json::parse(line, nullptr, /*allow_exceptions=*/false);
    if (!json.is_object()) {
        return Json();
    }
    return json;
}

std::string QuotedJournal(const std::string& path) {
    return ShellQuoted(path);
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

// Opens a journal for a run or an undo: a regular file only (a device or a pipe would never end,
// or block), locked for this program alone. Without a descriptor problem says why, in German:
// not every reason is a system error.
Fd OpenJournal(const std::string& path, int flags, struct stat& status, std::string& problem) {
    Fd fd(::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644));
    if (!fd || ::fstat(fd.Get(), &status) != 0) {
        problem = ErrorText(LastError());
    } else if (!S_ISREG(status.st_mode)) {
        problem = "es ist keine gewöhnliche Datei";
    } else if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        problem = errno == EWOULDBLOCK ? "ein anderer Lauf von Versalo benutzt es gerade (es ist gesperrt)"
                                       : ErrorText(LastError());
    } else if (::fcntl(fd.Get(), F_SETFL, flags & O_APPEND) != 0) {
        problem = ErrorText(LastError());
    } else {
        return fd;
    }
    return {};
}

}  // namespace

JournalWriter::JournalWriter(const std::string& path, CaseRule rule, const NameScope& scope) {
    struct stat status {};
    std::string problem;
    m_fd = OpenJournal(path, O_RDWR | O_CREAT | O_APPEND, status, problem);
    if (!m_fd) {
        m_problem = "das Journal " + QuotedJournal(path) + " kann nicht geschrieben werden: " + problem;
        return;
    }
    m_dev = status.st_dev;
    m_ino = status.st_ino;
    // A run stopped in the middle of a line (a full disk) left it unfinished: this run's header
    // must not be glued onto it.
    char last = '\n';
    if (status.st_size > 0 && ::pread(m_fd.Get(), &last, 1, status.st_size - 1) == 1 && last != '\n') {
        WriteLine("");
    }
    Json header;
    header["journal"] = "versalo";
    header["format"] = kFormat;
    header["version"] = VersionNumberText();
    header["rule"] = CaseRuleKey(rule);
    header["locale"] = CaseLocale();
    if (scope.part != NamePart::kWhole) {
        header["part"] = NamePartKey(scope.part);
    }
    if (!scope.keep.empty()) {
        header["keep"] = scope.keep;
    }
    WriteLine(header.dump());
    if (!Ok()) {
        m_problem = "das Journal " + QuotedJournal(path) + " kann nicht geschrieben werden: " + m_problem;
    }
}

BeforeRename JournalWriter::Renaming(const RenameStep& step) {
    m_lastOld.clear();
    m_lastNew.clear();
    if (!Ok()) {
        return BeforeRename::kStop;
    }
    const Result<EntryStatus> found = StatEntry(step.dirfd, step.oldName);
    if (!found) {
        return BeforeRename::kGo;  // the rename fails in turn and is reported; nothing to note
    }
    const EntryStatus& entry = found.value;
    if (entry.dev == m_dev && entry.ino == m_ino) {
        m_leftItselfOut = true;
        return BeforeRename::kLeaveOut;
    }
    struct stat folder {};
    if (::fstat(step.dirfd, &folder) != 0) {
        m_problem = ErrorText(LastError());
        return BeforeRename::kStop;
    }
    const bool newFolder =
        m_folderNumber == 0 || folder.st_dev != m_folder.dev || folder.st_ino != m_folder.ino;
    if (newFolder && !WriteFolderLine(step.dirfd)) {
        return BeforeRename::kStop;
    }
    if (S_ISDIR(entry.mode)) {
        m_folders.FolderMoving(entry.dev, entry.ino);
    }
    Json line;
    line["folder"] = m_folderNumber;
    line["ino"] = static_cast<std::uint64_t>(entry.ino);
    if (entry.hasBirth) {
        line["birth"] = entry.birth;
    }
    if (!m_inodesLast && S_ISREG(entry.mode)) {
        line["size"] = entry.size;
        line["modified"] = entry.modified;
    }
    PutText(line, "old", step.oldName);
    PutText(line, "new", step.newName);
    if (!WriteLine(line.dump())) {
        return BeforeRename::kStop;
    }
    m_lastOld = step.oldName;
    m_lastNew = step.newName;
    return BeforeRename::kGo;
}

BeforeRename JournalWriter::Temporary(const RenameStep& step, const std::string& temporaryName) {
    if (!Ok()) {
        return BeforeRename::kStop;
    }
    if (step.oldName != m_lastOld || step.newName != m_lastNew) {
        return BeforeRename::kGo;  // no line of this rename (its entry was gone): nothing to add to
    }
    Json line;
    PutText(line, "temporary", temporaryName);
    return WriteLine(line.dump()) ? BeforeRename::kGo : BeforeRename::kStop;
}

bool JournalWriter::WriteFolderLine(int dirfd) {
    Result<FolderIdentity> identity = m_folders.Identify(dirfd);
    if (!identity) {
        m_problem = ErrorText(identity.error);
        return false;
    }
    m_folder = std::move(identity.value);
    m_inodesLast = m_lifetime.Lasting(dirfd, m_folder.dev);
    Json line;
    line["folder"] = ++m_folderNumber;
    PutFolderPath(line, m_folder.path, m_folderNumber, m_chainPath, m_chain);
    line["dev"] = static_cast<std::uint64_t>(m_folder.dev);
    line["ino"] = static_cast<std::uint64_t>(m_folder.ino);
    line["fsid"] = FileSystemId(dirfd);
    if (!m_inodesLast) {
        line["inodes_last"] = false;
    }
    return WriteLine(line.dump());
}

// One write per line, so that a line is in the file (in the system's hands) as soon as this
// returns: a run killed right afterwards, before or after its rename, still has it.
bool JournalWriter::WriteLine(const std::string& line) {
    if (!m_fd || !Ok()) {
        return false;
    }
    const std::string text = line + "\n";
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(m_fd.Get(), text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            m_problem = ErrorText(LastError());
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

namespace {

constexpr std::string_view kHeaderStart = "{\"journal\":";
constexpr std::string_view kFolderStart = "{\"folder\":";
constexpr std::size_t kHeadSize = 48;  // what the forward pass keeps of each line

// The number of a folder line as written: {"folder":N,"path"... or {"folder":N,"in"...
// 0 for any other line.
unsigned long FolderLineNumber(std::string_view head) {
    if (!head.starts_with(kFolderStart)) {
        return 0;
    }
    head.remove_prefix(kFolderStart.size());
    unsigned long number = 0;
    std::size_t digits = 0;
    while (digits < head.size() && digits < 12 && head[digits] >= '0' && head[digits] <= '9') {
        number = number * 10 + static_cast<unsigned long>(head[digits] - '0');
        ++digits;
    }
    head.remove_prefix(digits);
    return digits > 0 && (head.starts_with(",\"path") || head.starts_with(",\"in\":")) ? number : 0;
}

}  // namespace

void JournalReader::Classify(const char* head, std::size_t size, off_t start) {
    const std::string_view text(head, size);
    if (text.starts_with(kHeaderStart)) {
        m_runs.push_back({start, m_folderLines.size(), 0});
        return;
    }
    // Folder lines of a run count 1, 2, 3 ...; one out of turn is damaged or made up, and the
    // rename lines naming it are reported.
    const unsigned long number = FolderLineNumber(text);
    if (number != 0 && !m_runs.empty() && number == m_runs.back().folders + 1 &&
        m_runs.back().firstFolder + m_runs.back().folders == m_folderLines.size()) {
        m_folderLines.push_back(start);
        ++m_runs.back().folders;
    }
}

// One pass forward, a block at a time: the number of lines (for line numbers and progress), the
// first line (which must be a header of ours), and where each header and folder line starts.
std::error_code JournalReader::Index(std::string& first) {
    char buffer[kBlockSize];
    char head[kHeadSize];
    std::size_t headSize = 0;
    off_t lineStart = 0;
    off_t position = 0;
    bool firstDone = false;
    bool endsWithNewline = true;
    while (true) {
        const ssize_t got = ::read(m_fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return LastError();
        }
        if (got == 0) {
            if (!endsWithNewline) {
                ++m_lines;  // an unfinished last line
                Classify(head, headSize, lineStart);
            }
            return {};
        }
        const char* at = buffer;
        const char* const end = buffer + got;
        while (at < end) {
            const char* newline =
                static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
            const char* const stop = newline != nullptr ? newline : end;
            const std::size_t take =
                std::min<std::size_t>(kHeadSize - headSize, static_cast<std::size_t>(stop - at));
            std::memcpy(head + headSize, at, take);
            headSize += take;
            if (!firstDone) {
                first.append(at, std::min<std::size_t>(
                                     static_cast<std::size_t>(stop - at),
                                     kJournalLineLimit + 1 - std::min(first.size(), kJournalLineLimit + 1)));
                firstDone = newline != nullptr || first.size() > kJournalLineLimit;
            }
            if (newline == nullptr) {
                break;
            }
            ++m_lines;
            Classify(head, headSize, lineStart);
            headSize = 0;
            lineStart = position + (newline + 1 - buffer);
            at = newline + 1;
        }
        position += got;
        endsWithNewline = end[-1] == '\n';
    }
}

bool JournalReader::Open(const std::string& path, std::string& error) {
    m_path = path;
    struct stat status {};
    std::string problem;
    m_fd = OpenJournal(path, O_RDONLY, status, problem);
    std::string first;
    const std::error_code indexed = m_fd ? Index(first) : std::error_code();
    if (!m_fd || indexed) {
        error = "das Journal " + QuotedJournal(path) +
                " kann nicht gelesen werden: " + (!m_fd ? problem : ErrorText(indexed));
        return false;
    }
    // An empty file: a run killed before its first line; there is nothing to take back.
    if (status.st_size > 0 && (first.size() > kJournalLineLimit || !IsHeader(Parse(first)) ||
                               m_runs.empty() || m_runs.front().header != 0)) {
        error = QuotedJournal(path);
        error += " ist kein Journal von Versalo.";
        return false;
    }
    m_end = status.st_size;
    char last = 0;
    if (m_end > 0 && ::pread(m_fd.Get(), &last, 1, m_end - 1) == 1 && last == '\n') {
        --m_end;  // the newline ending the last line
    }
    m_atStart = status.st_size == 0;
    m_lineNumber = m_lines + 1;
    return true;
}

std::error_code JournalReader::LineBefore(off_t end, std::string& line, off_t& start, bool& tooLong) const {
    line.clear();
    tooLong = false;
    // Lines are short as a rule: read a little first and more only for a long one. A line beyond
    // the limit is not kept, only gone through to its start.
    char buffer[kBlockSize];
    off_t chunk = 512;
    off_t position = end;
    std::vector<std::string> pieces;  // newest first, so that a long line is not copied again and again
    std::size_t kept = 0;
    while (position > 0) {
        const off_t from = std::max<off_t>(0, position - chunk);
        chunk = std::min<off_t>(chunk * 4, kBlockSize);
        const auto size = static_cast<std::size_t>(position - from);
        const ssize_t got = ::pread(m_fd.Get(), buffer, size, from);
        if (got != static_cast<ssize_t>(size)) {
            return got < 0 ? LastError() : std::make_error_code(std::errc::io_error);  // cut short meanwhile
        }
        const void* newline = ::memrchr(buffer, '\n', size);
        const std::size_t begin =
            newline == nullptr ? 0 : static_cast<std::size_t>(static_cast<const char*>(newline) - buffer) + 1;
        kept += size - begin;
        tooLong = tooLong || kept > kJournalLineLimit;
        if (!tooLong) {
            pieces.emplace_back(buffer + begin, size - begin);
        }
        if (newline != nullptr) {
            start = from + static_cast<off_t>(begin);
            break;
        }
        position = from;
        start = 0;
    }
    if (position <= 0) {
        start = 0;
    }
    if (!tooLong) {
        line.reserve(kept);
        for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) {
            line += *piece;
        }
    }
    return {};
}

bool JournalReader::LineAt(off_t start, std::string& line) const {
    line.clear();
    char buffer[4096];
    for (off_t position = start; line.size() <= kJournalLineLimit;) {
        const ssize_t got = ::pread(m_fd.Get(), buffer, sizeof buffer, position);
        if (got <= 0) {
            return got == 0;
        }
        const void* newline = std::memchr(buffer, '\n', static_cast<std::size_t>(got));
        if (newline != nullptr) {
            line.append(buffer, static_cast<std::size_t>(static_cast<const char*>(newline) - buffer));
            return line.size() <= kJournalLineLimit;
        }
        line.append(buffer, static_cast<std::size_t>(got));
        position += got;
    }
    return false;
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
    const auto fsid = json.find("fsid");
    const auto inodesLast = json.find("inodes_last");
    if (dev == json.end() || !dev->is_number_unsigned() || ino == json.end() || !ino->is_number_unsigned()) {
        return false;
    }
    found.dev = static_cast<dev_t>(dev->get<std::uint64_t>());
    found.ino = static_cast<ino_t>(ino->get<std::uint64_t>());
    found.fsid = fsid != json.end() && fsid->is_number_unsigned() ? fsid->get<std::uint64_t>() : 0;
    found.inodesLast = inodesLast == json.end() || !inodesLast->is_boolean() || inodesLast->get<bool>();
    if (in != json.end()) {
        found.in = in->is_number_unsigned() ? in->get<unsigned long>() : number;
        return found.in < number && found.in > 0 && GetText(json, "name", found.text) && IsName(found.text);
    }
    found.in = 0;
    return GetText(json, "path", found.text) && found.text.starts_with('/');
}

// The name part and kept spellings a header records. A part this version does not know leaves
// the run without a rule: its lines are then checked against the plain rules.
void ReadScope(const Json& header, NameScope& scope, std::optional<CaseRule>& rule) {
    const auto part = header.find("part");
    if (part != header.end()) {
        const auto known =
            part->is_string() ? NamePartFromKey(part->get_ref<const std::string&>()) : std::nullopt;
        if (!known) {
            rule.reset();
            return;
        }
        scope.part = *known;
    }
    const auto keep = header.find("keep");
    if (keep != header.end() && keep->is_array() && keep->size() <= 10000) {
        for (const Json& word : *keep) {
            if (word.is_string() && IsValidUtf8(word.get_ref<const std::string&>())) {
                scope.keep.push_back(word.get<std::string>());
            }
        }
    }
}

}  // namespace

bool JournalReader::RunAt(off_t start) {
    // Runs are met from the last to the first: the run at hand only ever moves back.
    std::size_t run = m_run == 0 ? m_runs.size() : m_run;
    while (run > 0 && m_runs[run - 1].header > start) {
        --run;
    }
    if (run != m_run) {
        m_run = run;
        m_runInfo = {};
        m_folderCache.clear();
        m_broken.clear();
        m_chain.clear();
        m_haveFolder = false;
        std::string line;
        if (run > 0 && LineAt(m_runs[run - 1].header, line)) {
            const Json header = Parse(line);
            if (const auto format = GetInteger(header, "format")) {
                m_runInfo.format = static_cast<int>(std::clamp<std::int64_t>(*format, 1, 1000));
            }
            const auto rule = header.find("rule");
            if (rule != header.end() && rule->is_string()) {
                m_runInfo.rule = CaseRuleFromKey(rule->get<std::string>());
            }
            const auto locale = header.find("locale");
            if (locale != header.end() && locale->is_string() &&
                locale->get_ref<const std::string&>().size() < 100) {
                m_runInfo.locale = locale->get<std::string>();
            }
            ReadScope(header, m_runInfo.scope, m_runInfo.rule);
        }
    }
    return m_run > 0;
}

bool JournalReader::FolderLineOf(unsigned long number, FolderLine& found) {
    if (const auto cached = m_folderCache.find(number); cached != m_folderCache.end()) {
        found = cached->second;
        return true;
    }
    const Run& run = m_runs[m_run - 1];
    std::string line;
    if (number == 0 || number > run.folders || !LineAt(m_folderLines[run.firstFolder + number - 1], line)) {
        return false;
    }
    const Json json = Parse(line);
    if (!ReadFolderLine(json, number, found)) {
        return false;
    }
    if (m_folderCache.size() > 1'000'000) {
        m_folderCache.clear();  // memory stays bounded; a folder line is read again if need be
    }
    m_folderCache.emplace(number, found);
    return true;
}

bool JournalReader::CutChainAt(unsigned long number) {
    const auto known =
        std::lower_bound(m_chain.begin(), m_chain.end(), number,
                         [](const ChainFolder& chain, unsigned long n) { return chain.number < n; });
    if (known == m_chain.end() || known->number != number) {
        return false;
    }
    m_chain.erase(known + 1, m_chain.end());
    m_chainPath.resize(known->length);
    return true;
}

bool JournalReader::FindFolder(unsigned long number) {
    // The folder lines above are climbed until one with a whole path, or one whose path is known
    // from the last folder found: m_chain holds the folders on m_chainPath, outermost first. Each
    // step goes to a smaller number, so the climb ends.
    std::vector<std::pair<unsigned long, FolderLine>> pending;  // the folders below it, innermost first
    unsigned long current = number;
    while (!CutChainAt(current)) {
        FolderLine line;
        if (m_broken.contains(current) || !FolderLineOf(current, line)) {
            // Known from now on: a chain of lines leading to a missing one is not climbed again.
            m_broken.insert(current);
            for (const auto& below : pending) {
                m_broken.insert(below.first);
            }
            return false;
        }
        if (line.in == 0) {
            m_chainPath = std::move(line.text);
            m_chain.assign(1, {current, m_chainPath.size(), line});
            break;
        }
        const unsigned long in = line.in;
        pending.emplace_back(current, std::move(line));
        current = in;
    }
    for (auto step = pending.rbegin(); step != pending.rend(); ++step) {
        m_chainPath = JoinPath(m_chainPath, step->second.text);
        step->second.text.clear();
        m_chain.push_back({step->first, m_chainPath.size(), std::move(step->second)});
    }
    return !m_chain.empty() && m_chain.back().number == number;
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

// The entry's inode (with birth time, size and time where written) and its old and new name
// from a rename line.
bool ReadRenameLine(const Json& json, UndoStep& step) {
    const auto ino = json.find("ino");
    if (ino == json.end() || !ino->is_number_unsigned() || !GetText(json, "old", step.oldName) ||
        !GetText(json, "new", step.newName) || !IsName(step.oldName) || !IsName(step.newName)) {
        return false;
    }
    step.ino = static_cast<ino_t>(ino->get<std::uint64_t>());
    if (const auto birth = GetInteger(json, "birth")) {
        step.hasBirth = true;
        step.birth = *birth;
    }
    const auto size = GetInteger(json, "size");
    const auto modified = GetInteger(json, "modified");
    if (size && modified && *size >= 0) {
        step.hasSizeTime = true;
        step.size = static_cast<std::uint64_t>(*size);
        step.modified = *modified;
    }
    return true;
}

}  // namespace

UndoSource::Next JournalReader::Read(UndoStep& step, SkippedEntry& problem) {
    std::string line;
    while (!m_atStart) {
        off_t start = 0;
        bool tooLong = false;
        if (const std::error_code error = LineBefore(m_end, line, start, tooLong)) {
            problem = {m_path, "das Journal kann nicht weitergelesen werden: " + ErrorText(error)};
            m_atStart = true;
            return Next::kProblem;
        }
        --m_lineNumber;
        m_atStart = start == 0;
        m_end = start - 1;
        if (tooLong) {
            m_temporaries.clear();
            problem = Problem(m_lineNumber, "die Zeile ist länger als " +
                                                std::to_string(kJournalLineLimit / 1024 / 1024) +
                                                " MiB, also beschädigt oder nicht von Versalo, und wird "
                                                "übergangen");
            return Next::kProblem;
        }
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
        m_temporaries.clear();
        problem = Problem(m_lineNumber, kUnreadable);
        return Next::kProblem;
    };
    if (json.is_null()) {
        return unreadable();
    }
    if (IsHeader(json)) {
        m_haveFolder = false;
        m_temporaries.clear();
        return std::nullopt;
    }
    RunAt(start);
    if (json.contains("temporary")) {
        std::string name;
        if (!GetText(json, "temporary", name) || !IsTemporaryName(name)) {
            return unreadable();
        }
        m_temporaries.push_back(std::move(name));
        return std::nullopt;
    }
    step = {};
    step.rule = m_runInfo.rule;
    step.locale = m_runInfo.locale;
    step.scope = m_runInfo.scope;
    step.temporariesRecorded = m_runInfo.format >= 3;
    step.temporaries = std::move(m_temporaries);
    m_temporaries.clear();
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
        // The rename line belongs to the nearest folder line above it, which must carry its number.
        bool nearest = false;
        if (m_run > 0) {
            const Run& run = m_runs[m_run - 1];
            const auto begin = m_folderLines.begin() + static_cast<std::ptrdiff_t>(run.firstFolder);
            const auto above =
                std::lower_bound(begin, begin + static_cast<std::ptrdiff_t>(run.folders), start);
            nearest = above != begin && static_cast<unsigned long>(above - begin) == number;
        }
        m_haveFolder = nearest && FindFolder(number);
        m_folderNumber = number;
    }
    if (!m_haveFolder) {
        problem = Problem(
            m_lineNumber,
            "die Ordnerzeile, auf die sich die Zeile bezieht, fehlt oder ist nicht lesbar; übergangen");
        return Next::kProblem;
    }
    const FolderLine& identity = m_chain.back().identity;
    step.folder = m_chainPath;
    step.identified = true;
    step.folderDev = identity.dev;
    step.folderIno = identity.ino;
    step.fsid = identity.fsid;
    step.inodesLast = identity.inodesLast;
    return Next::kStep;
}

double JournalReader::Percent() const {
    return versalo::Percent(m_lines + 1 - m_lineNumber, m_lines);
}

}  // namespace versalo
