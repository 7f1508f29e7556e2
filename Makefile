# Keymoor: `make test` builds both trees and runs every test; `make run` starts the program;
# `make dist` makes the release zip in dist/.
# BUILD may be set to keep several build folders apart (for example BUILD=build-mine).
BUILD ?= build
B := $(abspath $(BUILD))
NATIVE := $(B)/native
ASAN := $(B)/asan
TSAN := $(B)/tsan
WIN := $(B)/win
PREFIX := $(WIN)/wineprefix
# The release: built from the same sources as `make windows`, in a tree of its own, packed
# into $(DIST) (DIST may be set too).
RELEASE := $(B)/dist
DIST ?= dist
CMAKE_GEN := -G Ninja

.PHONY: all setup native asan windows test run screenshot bench dist reproducible format clean

all: native windows

setup:
	@tools/setup.sh

native: setup
	@cmake -S . -B $(NATIVE) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(NATIVE)

asan: setup
	@cmake -S . -B $(ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DKEYMOOR_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN)

# ThreadSanitizer over the engine tests that run the writer thread (the rest add nothing
# there and are slow under it). Runs under setarch -R: TSan needs its fixed memory layout,
# which some kernels' address randomisation breaks.
.PHONY: tsan
TSAN_TESTS := BlockPipeline.*:FastPathTest.*:PasswordGenerator.*:SecureRun.*:SegmentRing.*
tsan: setup
	@cmake -S . -B $(TSAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEYMOOR_TSAN=ON >/dev/null
	@cmake --build $(TSAN) --target engine_tests
	@echo "== engine tests of the writer thread under ThreadSanitizer"
	@TSAN_OPTIONS="halt_on_error=1" setarch -R $(TSAN)/tests/engine_tests --gtest_brief=1 --gtest_filter='$(TSAN_TESTS)'

# The engine tests on an emulated processor with SSE4.1 but neither AVX nor POPCNT (qemu's
# Penryn): the path that processors without AVX take must use nothing more.
.PHONY: no-avx
no-avx: native
	@echo "== engine tests on an emulated processor without AVX"
	@qemu-x86_64 -cpu Penryn $(NATIVE)/tests/engine_tests --gtest_brief=1

windows: setup
	@cmake -S . -B $(WIN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake >/dev/null
	@cmake --build $(WIN)

# Every tree is built and tested even when an earlier one fails, so both summaries show;
# the exit status is non-zero if anything failed.
test: setup
	@rc=0; \
	$(MAKE) --no-print-directory native asan windows || rc=1; \
	if [ $$rc -eq 0 ]; then \
	  echo "== native tests"; (cd $(NATIVE) && ctest --output-on-failure) || rc=1; \
	  echo "== native tests under AddressSanitizer and UndefinedBehaviorSanitizer"; \
	  (cd $(ASAN) && ctest --output-on-failure) || rc=1; \
	  $(MAKE) --no-print-directory tsan || rc=1; \
	  $(MAKE) --no-print-directory no-avx || rc=1; \
	  echo "== Windows tests under Wine"; \
	  tools/wine-session.sh $(PREFIX) ctest --test-dir $(WIN) --output-on-failure || rc=1; \
	  echo "== reproducible release: make dist twice, in two folders"; \
	  tools/check-reproducible.sh $(B)/reproducible || rc=1; \
	  echo "== fuzz targets, 4 s each from the seed corpus"; \
	  { $(MAKE) --no-print-directory fuzz-build && fuzz/run.sh $(FUZZ) 4 fresh; } || rc=1; \
	fi; \
	exit $$rc

# The libFuzzer targets in a clang tree of their own; `make fuzz` runs each for FUZZ_SECONDS.
FUZZ := $(B)/fuzz
FUZZ_SECONDS ?= 60
.PHONY: fuzz-build fuzz

fuzz-build: setup
	@cmake -S . -B $(FUZZ) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DKEYMOOR_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ)

fuzz: fuzz-build
	@fuzz/run.sh $(FUZZ) $(FUZZ_SECONDS)

run: windows
	@tools/run.sh $(PREFIX) $(WIN)/app/keymoor.exe

screenshot: windows
	@tools/screenshot.sh $(PREFIX) $(WIN)/app/keymoor.exe docs

# The release zip. Debug information is compiled in (it changes no code) and split off beside
# the zip by tools/dist.sh; only the programs are built, not the tests.
dist: setup
	@cmake -S . -B $(RELEASE) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_C_FLAGS=-g -DCMAKE_CXX_FLAGS=-g \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake >/dev/null
	@cmake --build $(RELEASE) --target keymoor keymoor-cli
	@tools/dist.sh $(RELEASE)/app/keymoor.exe $(RELEASE)/cli/keymoor-cli.exe $(DIST)

reproducible: setup
	@tools/check-reproducible.sh $(B)/reproducible

bench: native
	@$(NATIVE)/bench/keymoor_bench $(ARGS)

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(B)
