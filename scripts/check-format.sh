#!/bin/bash
# Checks that every C++ source and header in the repository is formatted as
# .clang-format says; lists the files that are not and fails. To fix them:
#
#   git ls-files '*.cpp' '*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."

unformatted=()
while IFS= read -r file; do
    if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
        unformatted+=("$file")
    fi
done < <(git ls-files '*.cpp' '*.h')
if ((${#unformatted[@]} > 0)); then
    echo "Not formatted (clang-format -i to fix):"
    printf '  %s\n' "${unformatted[@]}"
    exit 1
fi
echo "clang-format: every source is formatted"
