#pragma once

#include <string>
#include <vector>

#include "engine/drop_batch.h"

namespace versalo::cli {

// What the command line asks for. The defaults are those of a first start of the window program:
// lower case, renamed directly.
struct Options {
    CaseRule caseRule = CaseRule::kLower;
    bool caseGiven = false;  // a case option was given (an undo takes none)
    RenameMethod method = RenameMethod::kDirect;
    bool dryRun = false;
    bool verbose = false;
    bool oneFileSystem = false;  // -x: neither rename nor enter folders on another file system
    NameScope scope;             // part, entries, depth, exclusions and kept spellings
    // Options that give one choice twice (--name-only with --extension-only, --files-only with
    // --folders-only), and a bad value: the first one found, for the message.
    std::string contradiction;
    bool help = false;
    bool version = false;
    std::string journal;  // --journal FILE: write each rename made to FILE
    std::string undo;     // --undo FILE: take back the renames of a journal instead
    std::vector<std::string> paths;
};

struct ParseResult {
    Options options;
    std::string error;  // empty when the command line was understood; else a short German reason

    bool Ok() const { return error.empty(); }
};

// Reads the arguments after the program name with getopt_long. Options and paths may be mixed;
// "--" ends the options, and a lone "-" is a path. Short options may be bundled ("-nv"), long
// ones abbreviated as long as that is unambiguous ("--up"). Of several case options the last one
// counts, as with most tools. --journal and --undo take a FILE, --max-depth a number, --exclude a
// pattern and --keep a word, as the next argument or after "="; --exclude and --keep may be given
// several times.
ParseResult ParseArguments(const std::vector<std::string>& arguments);

// The German help text for --help.
std::string HelpText();

}  // namespace versalo::cli
