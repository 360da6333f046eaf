#!/usr/bin/env bash
# Formats the C++ sources with clang-format and the tree's .clang-format.
#   tools/format.sh          rewrite every file that is not formatted
#   tools/format.sh --check  name the files that are not formatted and fail;
#                            without clang-format, say so and pass
# The style was settled with clang-format 14; other major versions break some
# lines differently, so the check runs with 14 only and says why otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

check=false
[ "${1:-}" = "--check" ] && check=true

format=${CLANG_FORMAT:-clang-format}
if ! command -v "$format" > /dev/null; then
  $check && echo "format check: no clang-format, skipped (Debian package clang-format)"
  $check && exit 0
  echo "format: no clang-format (Debian package clang-format)" >&2
  exit 1
fi
major=$("$format" --version | sed -n 's/.*version \([0-9]*\).*/\1/p')
if $check && [ "$major" != 14 ]; then
  echo "format check: clang-format $major, the style is settled with 14: skipped"
  exit 0
fi

mapfile -t files < <(git ls-files '*.cc' '*.h')
if ! $check; then
  "$format" -i --style=file "${files[@]}"
  exit 0
fi
unformatted=()
for file in "${files[@]}"; do
  "$format" --style=file "$file" | cmp -s - "$file" || unformatted+=("$file")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "format check: not formatted (run make format):"
  printf '  %s\n' "${unformatted[@]}"
  exit 1
fi
