# Entry points for people and CI. Each target does all of its own set-up:
# dependencies (scripts/install-deps), configuration and build.

PRESET ?= default
BUILD_DIR := build/$(PRESET)

.PHONY: all deps configure build run test check tsan fuzz screenshots clean windows test-windows \
	screenshots-windows

all: build

deps:
	scripts/install-deps

configure: deps
	cmake --preset $(PRESET) > /dev/null

build: configure
	cmake --build --preset $(PRESET)

# The main job on a bundled example book, generated fresh on every run.
run: build
	scripts/run-example $(BUILD_DIR)

test: build
	ctest --preset $(PRESET)

# The desktop program's windows as PNG files under $(BUILD_DIR)/screenshots.
screenshots: build
	scripts/screenshots $(BUILD_DIR)

# What CI runs: the tests, the whole suite again under the address and
# undefined-behaviour sanitizers, the passes on several threads under the thread
# sanitizer, a short run of each fuzz target, then the Windows build's tests
# under wine and plinth-cli.exe compared with plinth-cli byte for byte.
check: test
	$(MAKE) test PRESET=asan
	$(MAKE) tsan
	$(MAKE) fuzz
	$(MAKE) test-windows
	scripts/compare-windows build/default build/windows

tsan: deps
	cmake --preset tsan > /dev/null
	cmake --build --preset tsan
	ctest --preset tsan

# The libFuzzer targets, built with clang (preset `fuzz`) and run for
# FUZZ_SECONDS each from their seed corpora with a fixed seed (docs/testing.md).
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset fuzz > /dev/null
	cmake --build --preset fuzz
	scripts/fuzz build/fuzz $(FUZZ_SECONDS)

# The Windows build, cross-built with mingw-w64 (preset `windows`):
# build/windows/src/cli/plinth-cli.exe and build/windows/plinth-VERSION-windows-x64.zip.
windows:
	scripts/install-deps windows
	cmake --preset windows > /dev/null
	cmake --build --preset windows

# The Windows build's tests, run under wine.
test-windows: windows
	scripts/test-windows build/windows

# The Windows program's windows as PNG files under build/windows/screenshots,
# taken under wine.
screenshots-windows: windows
	scripts/screenshots-windows build/windows

clean:
	rm -rf build

# clang-format and clang-tidy over the project's sources.
.PHONY: lint format
lint: configure
	scripts/lint $(BUILD_DIR)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# A Debian package of the programs: build/default/plinth_VERSION_ARCH.deb
.PHONY: package
package: build
	cd $(BUILD_DIR) && cpack -G DEB
	tests/install/package-test $(BUILD_DIR)
