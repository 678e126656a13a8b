// Makes the bench's wide folder quickly: COUNT empty files in one new folder, with mixed-case
// names like those of run.py's tree ("bErIcHt_0004711.Jpg"; about one in ten already lower case,
// all ASCII, no two alike after lowering). Python needs minutes for a million files; this needs
// seconds on tmpfs.
//
// Usage: versalo_bench_make_wide FOLDER COUNT

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* const kWords[] = {"Bericht", "Rechnung", "Foto",  "Urlaub", "Projekt",
                              "Notiz",   "Brief",    "Liste", "Daten",  "Entwurf"};
const char* const kExtensions[] = {".TXT", ".Jpg", ".pdf", ".DOCX", ".Odt", ".csv", ".PNG", ".Md"};

std::uint64_t g_state = 2024;

std::uint32_t Next() {
    // xorshift64*: the same tree on every run, without a library.
    g_state ^= g_state >> 12;
    g_state ^= g_state << 25;
    g_state ^= g_state >> 27;
    return static_cast<std::uint32_t>((g_state * 2685821657736338717ULL) >> 32);
}

std::string Mixed(std::string text) {
    const bool lower = Next() % 10 == 0;
    for (char& c : text) {
        const bool upper = !lower && Next() % 10 < 4;
        if (c >= 'A' && c <= 'Z' && !upper) {
            c = static_cast<char>(c - 'A' + 'a');
        } else if (c >= 'a' && c <= 'z' && upper) {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Aufruf: %s ORDNER ANZAHL\n", argv[0]);
        return 2;
    }
    const long count = std::strtol(argv[2], nullptr, 10);
    if (::mkdir(argv[1], 0755) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    const int dirfd = ::open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    char number[32];
    for (long i = 0; i < count; ++i) {
        std::snprintf(number, sizeof number, "_%07ld", i);
        const std::string name = Mixed(std::string(kWords[Next() % 10]) + number + kExtensions[Next() % 8]);
        const int fd = ::openat(dirfd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            std::perror(name.c_str());
            return 1;
        }
        ::close(fd);
    }
    ::close(dirfd);
    return 0;
}
