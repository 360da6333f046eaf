#!/usr/bin/env bash
# Makes sure this machine has what `make test` runs, before it starts.
#
# Debian and Ubuntu: the missing packages are installed with apt-get (through
# sudo when not root), and named as they are.  Elsewhere the missing tools are
# named and the run stops.  Prints nothing when everything is there.
set -euo pipefail

# Building and the tests: unit (GoogleTest), end-to-end (Python), on a
# terminal (tmux, libvterm, and the locale sources that localedef makes a
# KOI8-R locale from), the clipboard (an X server without a screen, and
# xclip), the packages (dpkg-shlibdeps, lintian) and the manual page (groff);
# the hardening checks: clang with libFuzzer and the sanitizer runtimes,
# valgrind.
packages=(cmake g++ make python3 libgtest-dev tmux libvterm-dev locales xvfb xclip dpkg-dev
          groff-base clang libclang-rt-dev valgrind lintian)
# The Windows build and its tests under wine: the cross compiler and 64-bit
# wine alone (no i386 architecture, no recommended desktop packages).
windows_packages=(g++-mingw-w64-x86-64-win32 wine64)

say() { echo "make test: $*"; }

installed() {
  dpkg-query -W -f='${db:Status-Abbrev}\n' "$1" 2>/dev/null | grep -q '^ii'
}

debian_setup() {
  local need=() windows_need=() pkg
  for pkg in "${packages[@]}"; do installed "$pkg" || need+=("$pkg"); done
  for pkg in "${windows_packages[@]}"; do installed "$pkg" || windows_need+=("$pkg"); done
  [ $((${#need[@]} + ${#windows_need[@]})) -eq 0 ] && return 0

  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo > /dev/null; then
      say "missing packages: ${need[*]} ${windows_need[*]}"
      say "install them as root (apt-get install ...), then run make test again"
      exit 1
    fi
    sudo=(sudo)
  fi
  say "installing ${need[*]} ${windows_need[*]} (apt-get)"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  # A package this release does not have (libclang-rt-dev before Debian 12:
  # clang brings the runtimes itself) is named and left out.
  local available=() unavailable=()
  for pkg in "${need[@]}" "${windows_need[@]}"; do
    if apt-cache show "$pkg" > /dev/null 2>&1; then available+=("$pkg"); else unavailable+=("$pkg"); fi
  done
  [ ${#unavailable[@]} -eq 0 ] || say "not in this system's archive, left out: ${unavailable[*]}"
  need=() windows_need=()
  for pkg in "${available[@]}"; do
    if [[ " ${windows_packages[*]} " == *" $pkg "* ]]; then windows_need+=("$pkg"); else need+=("$pkg"); fi
  done
  if [ ${#need[@]} -gt 0 ]; then
    "${sudo[@]}" apt-get install -y -qq "${need[@]}" < /dev/null
  fi
  if [ ${#windows_need[@]} -gt 0 ]; then
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${windows_need[@]}" < /dev/null
  fi
  say "installed ${available[*]}"
}

# Without apt-get: look for the tools themselves.
compiles() {  # compiler, flags...: builds a one-line program from standard input
  local compiler=$1 out
  shift
  command -v "$compiler" > /dev/null || return 1
  out=$(mktemp)
  "$compiler" -x c++ - -o "$out" "$@" > /dev/null 2>&1 && rm -f "$out" && return 0
  rm -f "$out"
  return 1
}

other_setup() {
  local missing=() optional=() tool
  for tool in cmake make c++ python3 tmux groff clang++ valgrind; do
    command -v "$tool" > /dev/null || missing+=("$tool")
  done
  echo '#include <gtest/gtest.h>
int main() {}' | compiles c++ -fsyntax-only || missing+=("GoogleTest (gtest/gtest.h)")
  echo '#include <vterm.h>
int main() {}' | compiles c++ -fsyntax-only || missing+=("libvterm (vterm.h)")
  echo '#include <cstddef>
#include <cstdint>
extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }' |
    compiles clang++ -fsanitize=fuzzer,address,undefined ||
    missing+=("libFuzzer and the sanitizer runtimes of clang")
  command -v x86_64-w64-mingw32-g++ > /dev/null || optional+=("MinGW-w64 (x86_64-w64-mingw32-g++)")
  command -v wine64 > /dev/null || command -v wine > /dev/null || [ -x /usr/lib/wine/wine64 ] ||
    optional+=("wine")
  command -v dpkg > /dev/null || optional+=("dpkg")
  command -v Xvfb > /dev/null || optional+=("Xvfb")
  command -v xclip > /dev/null || optional+=("xclip")
  if [ ${#missing[@]} -gt 0 ]; then
    say "not found:"
    printf '  %s\n' "${missing[@]}"
    say "install them with this system's package manager and run make test again"
    say "(Debian names: ${packages[*]})"
    exit 1
  fi
  if [ ${#optional[@]} -gt 0 ]; then
    say "not found, their tests are skipped: ${optional[*]}"
  fi
}

if command -v apt-get > /dev/null && command -v dpkg-query > /dev/null; then
  debian_setup
else
  other_setup
fi
