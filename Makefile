# A thin wrapper around CMake and CTest.
#   make run    build (if needed) and start the converter in this terminal
#   make test   install what the tests need (tools/test_setup.sh), build and
#               run every test (unit and end-to-end, then the hardening checks)
#   make install  install patconv, its manual page and README under PREFIX
#   make package  the Debian package and the Windows zip, in build/
#   make windows  cross-build patconv.exe for Windows (MinGW-w64) in build-windows/
#   make check-asan      the unit and end-to-end tests built with ASan + UBSan (build-asan/)
#   make check-valgrind  the redirected and fault end-to-end tests under valgrind memcheck
#   make fuzz            each fuzz target for FUZZ_SECONDS (default 30), one per CPU at a
#                        time (JOBS), clang (build-fuzz/)
#   make format          format the C++ sources with clang-format (.clang-format)

BUILD_DIR ?= build
BUILD_TYPE ?= Release
WINDOWS_BUILD_DIR ?= build-windows
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 30
PREFIX ?= /usr/local
VALGRIND ?= valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite -q
# The end-to-end tests on redirected streams and the fault tests (their
# outputs that refuse bytes and inputs that are no files), one unittest class
# per process.
VALGRIND_SUITES := redirected_test.Dialogue redirected_test.Conversion redirected_test.Failures \
                   redirected_test.Arguments \
                   redirected_test.Samples faults_test.Outputs faults_test.Inputs

.PHONY: all build run test install package windows clean check-asan check-valgrind fuzz format \
        check-format

all: build

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: $(BUILD_DIR)/CMakeCache.txt
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target patconv > /dev/null
	./$(BUILD_DIR)/converter/patconv

# Configured again after the set-up, so that tests whose tools it has just
# installed are no longer left out.
test:
	@bash tools/test_setup.sh
	@bash tools/format.sh --check
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build $(BUILD_DIR) -j $(JOBS)
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory check-asan
	@$(MAKE) --no-print-directory check-valgrind
	@$(MAKE) --no-print-directory fuzz

# --- Installing and packages ------------------------------------------------------
# DESTDIR, when given, goes before PREFIX (a staging root).
install: $(BUILD_DIR)/CMakeCache.txt
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target patconv_installed > /dev/null
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

package: $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS) --target package

# --- Hardening -----------------------------------------------------------------
check-asan:
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

check-valgrind: build
	cd tests && printf '%s\n' $(VALGRIND_SUITES) | \
	  PATCONV="$(abspath $(BUILD_DIR))/converter/patconv" PATCONV_RUNNER="$(VALGRIND)" \
	  PYTHONDONTWRITEBYTECODE=1 xargs -P $(JOBS) -I{} python3 -m unittest {}

fuzz:
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	fuzz/run_fuzzers.sh build-fuzz $(FUZZ_SECONDS) $(JOBS)

# --- Formatting ------------------------------------------------------------------
format:
	@bash tools/format.sh

check-format:
	@bash tools/format.sh --check

$(WINDOWS_BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(WINDOWS_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	      -DCMAKE_BUILD_TYPE=Release -DPATCONV_BUILD_TESTS=OFF

windows: $(WINDOWS_BUILD_DIR)/CMakeCache.txt
	cmake --build $(WINDOWS_BUILD_DIR) -j $(JOBS) --target patconv
	@echo "built $(WINDOWS_BUILD_DIR)/converter/patconv.exe"

clean:
	rm -rf $(BUILD_DIR) $(WINDOWS_BUILD_DIR) build-asan build-fuzz
