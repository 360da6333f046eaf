# A thin wrapper around CMake and CTest.
#   make run    build (if needed) and start the converter in this terminal
#   make test   build and run every test (unit and end-to-end)
#   make windows  cross-build patconv.exe for Windows (MinGW-w64) in build-windows/

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
WINDOWS_BUILD_DIR ?= build-windows
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test windows clean

all: build

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: $(BUILD_DIR)/CMakeCache.txt
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target patconv > /dev/null
	./$(BUILD_DIR)/converter/patconv

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

$(WINDOWS_BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(WINDOWS_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	      -DCMAKE_BUILD_TYPE=Release -DPATCONV_BUILD_TESTS=OFF

windows: $(WINDOWS_BUILD_DIR)/CMakeCache.txt
	cmake --build $(WINDOWS_BUILD_DIR) -j $(JOBS) --target patconv
	@echo "built $(WINDOWS_BUILD_DIR)/converter/patconv.exe"

clean:
	rm -rf $(BUILD_DIR) $(WINDOWS_BUILD_DIR)
