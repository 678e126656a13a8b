#!/usr/bin/env bash
# Prints the size of the tests against the size of the program: non-blank lines that are not
# comment lines, in the C++ sources of the program's folders and in the tests' C++ sources, shell
# scripts and Python scripts. The project keeps the ratio between a quarter and a third.
set -euo pipefail
cd "$(dirname "$0")/.."

# Counts the lines of the named files that are neither blank nor a comment line.
count() {
    local total=0 file
    for file in "$@"; do
        case "$file" in
            *.sh | *.py) total=$((total + $(grep -Ev '^\s*$|^\s*#' "$file" | wc -l))) ;;
            *) total=$((total + $(grep -Ev '^\s*$|^\s*//' "$file" | wc -l))) ;;
        esac
    done
    echo "$total"
}

program_folders=()
for folder in engine version settings ui cli; do
    [ -d "$folder" ] && program_folders+=("$folder")
done
mapfile -t program < <(find "${program_folders[@]}" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.h.in' \) | sort)
mapfile -t tests < <(find tests fuzz -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' -o -name '*.py' \) | sort)

code=$(count "${program[@]}")
test=$(count "${tests[@]}")
ratio=$(awk -v t="$test" -v c="$code" 'BEGIN { printf "%.2f", t / c }')
echo "Tests to code: ${test} test lines, ${code} program lines, ratio ${ratio} (aim: 0.25 to 0.33)"
