# The two commands a newcomer runs: `make demo` and `make test`.
# Each installs what it needs, configures and builds on its own.

BUILD      ?= build
BUILD_SAN  ?= build-san
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: all deps build build-suite test demo build-san test-sanitize fuzz-smoke check-format clean

all: build

deps:
	@bash scripts/deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# What the demo runs and cmake --install installs, without the tests and
# benchmarks (`make test` builds those).
build-suite: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target suite

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build-suite
	bash tools/demo.sh $(BUILD)

# One clang build serves the sanitizer tests and the fuzz targets: everything
# carries AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer's
# coverage hooks.
$(BUILD_SAN)/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_SAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	  -DQBK_SANITIZE=ON -DQBK_FUZZ=ON

build-san: deps $(BUILD_SAN)/build.ninja
	cmake --build $(BUILD_SAN) -j $(JOBS)

SAN_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: build-san
	$(SAN_ENV) ctest --test-dir $(BUILD_SAN) --output-on-failure -j $(JOBS) -LE fuzz

# Each fuzz target for a fixed time (30 s) from its seeds; any finding fails.
fuzz-smoke: build-san
	$(SAN_ENV) ctest --test-dir $(BUILD_SAN) --output-on-failure -j $(JOBS) -L fuzz --no-tests=error

# The C++ files against .clang-format (and emulator/.clang-format), changing
# nothing; scripts/check-format.sh FILE... checks only those.
check-format: deps
	bash scripts/check-format.sh

clean:
	rm -rf $(BUILD) $(BUILD_SAN)
