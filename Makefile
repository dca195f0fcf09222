# The commands that matter: `make test` and `make demo`. Both install what is missing first.
.PHONY: all deps build test demo bench fuzz screenshots install package windows test-windows clean

BUILD_DIR ?= build
PREFIX ?= /usr/local
SANITIZE_DIR ?= build-sanitize
WINDOWS_DIR ?= build-windows
JOBS ?= $(shell nproc)
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The program against the simulated amplifier.
demo: build
	bash scripts/demo.sh $(BUILD_DIR)

# Every test twice: an optimised build, then AddressSanitizer + UndefinedBehaviorSanitizer.
test: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS)
	ctest --test-dir $(BUILD_DIR) $(CTEST_FLAGS)
	bash tests/package/check-package.sh $(BUILD_DIR)
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Sanitize -DTOLA_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SANITIZE_DIR) $(CTEST_FLAGS)
	bash fuzz/run-fuzz.sh build-fuzz 20
	$(MAKE) test-windows

# The programs, man pages, desktop entry, icon, metainfo and completion under PREFIX.
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package tola-utility_<version>_<arch>.deb, copied here from the build folder.
package: build
	cmake --build $(BUILD_DIR) -j $(JOBS) --target package
	cp $(BUILD_DIR)/tola-utility_*_$$(dpkg --print-architecture).deb .

# Each operation over a pseudo-terminal against the simulator, against the wire-time bound; the
# copy from the loopback file server against its one-second target; then the desktop program's
# start, log and idle figures.
bench: build
	$(BUILD_DIR)/bench/tola-bench
	$(BUILD_DIR)/bench/tola-copy-bench
	$(BUILD_DIR)/bench/tola-ui-bench
	$(BUILD_DIR)/bench/tola-operate-bench

# Every page and dialog drawn against the simulator into docs/screenshots/.
screenshots: build
	bash scripts/screenshots.sh $(BUILD_DIR)

# Each fuzz target for a minute.
fuzz: deps
	bash fuzz/run-fuzz.sh build-fuzz 60

# tola.exe and the core's test programs for 64-bit Windows (MinGW-w64), statically linked, and
# tola-<version>-windows-x64.zip with tola.exe, the README and the licence.
windows: deps
	cmake -S . -B $(WINDOWS_DIR) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DTOLA_BUILD_GUI=OFF
	cmake --build $(WINDOWS_DIR) -j $(JOBS)
	cmake --build $(WINDOWS_DIR) -j $(JOBS) --target windows-zip

# The Windows programs under wine64 in a throw-away prefix: the core's unit tests, then tola.exe
# against tola400-sim (built for Linux) behind a COM port of that prefix.
test-windows: windows
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS) --target tola400-sim tola_tests_e2e
	bash scripts/test-windows.sh $(WINDOWS_DIR) $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(WINDOWS_DIR) build-fuzz
