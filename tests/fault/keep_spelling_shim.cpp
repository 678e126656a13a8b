// Loaded with LD_PRELOAD, stands in for a file system that ignores case and keeps the spelling
// it has (some FAT and SMB set-ups): a rename from the temporary name ("ZX...") answers success
// but is carried out to the spelling in VERSALO_TEST_KEEP, the one the entry had before.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

namespace {

// The name the file system stores instead of to.
const char* Stored(const char* from, const char* to) {
    const char* base = std::strrchr(from, '/');
    const char* keep = std::getenv("VERSALO_TEST_KEEP");
    return std::strncmp(base != nullptr ? base + 1 : from, "ZX", 2) == 0 && keep != nullptr ? keep : to;
}

}  // namespace

extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    using Real = int (*)(int, const char*, int, const char*, unsigned);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "renameat2"));
    return real(fromDir, from, toDir, Stored(from, to), flags);
}

extern "C" int renameat(int fromDir, const char* from, int toDir, const char* to) {
    using Real = int (*)(int, const char*, int, const char*);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "renameat"));
    return real(fromDir, from, toDir, Stored(from, to));
}
