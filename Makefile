# The two set-up commands: `make run` and `make test`. Both install missing Debian
# packages first (scripts/install-deps.sh), then build into build/.
#
# `make test` runs the whole test suite twice, in the normal build and in the sanitizer build
# (build-sanitize/: AddressSanitizer, UndefinedBehaviorSanitizer, LeakSanitizer), and then
# every fuzz target for FUZZ_TEST_SECONDS (build-fuzz/, clang and libFuzzer). `make fuzz`
# is the long fuzz run: FUZZ_SECONDS for each target.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_TEST_SECONDS ?= 20
FUZZ_SECONDS ?= 1800
STRESS_SECONDS ?= 60

# The sanitizer build leaves out the window program and the benchmarks; the fuzz build
# builds only the library, the assembler library and the fuzz targets.
SANITIZE_FLAGS = -DTARQUIL_SANITIZE=ON -DTARQUIL_GUI=OFF -DTARQUIL_BENCH=OFF
FUZZ_FLAGS = -DTARQUIL_FUZZ=ON -DTARQUIL_TESTS=OFF -DTARQUIL_GUI=OFF -DTARQUIL_BENCH=OFF \
	-DTARQUIL_FUZZ_SECONDS=$(FUZZ_TEST_SECONDS)

.PHONY: all deps configure build run test test-normal bench clean format \
	configure-sanitize compile-sanitize test-sanitize \
	configure-fuzz compile-fuzz test-fuzz fuzz stress

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD_DIR)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-sanitize
	@$(MAKE) --no-print-directory test-fuzz

test-normal: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Built with clang, which the fuzz build needs anyway: gcc takes over ten minutes for each of
# the largest instruction families with the sanitizers on, clang a fraction of that. The
# suite thus also runs built by a second compiler.
configure-sanitize: deps
	@CC=clang CXX=clang++ cmake -S . -B $(SANITIZE_DIR) -G Ninja $(SANITIZE_FLAGS) $(CMAKE_FLAGS)

compile-sanitize: configure-sanitize
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)

# Any sanitizer report fails the run, also one from a child process whose output a test
# does not look at.
test-sanitize: compile-sanitize
	@bash scripts/test-sanitize.sh $(SANITIZE_DIR) $(JOBS)

configure-fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja $(FUZZ_FLAGS)

compile-fuzz: configure-fuzz
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzzers

# Each fuzz target for FUZZ_TEST_SECONDS, starting from its seed corpus.
test-fuzz: compile-fuzz
	@cd $(FUZZ_DIR) && ctest --output-on-failure -j $(JOBS)

# The long run: each target for FUZZ_SECONDS; findings land in $(FUZZ_DIR)/findings/.
fuzz: compile-fuzz
	@bash scripts/fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# A machine under pressure for STRESS_SECONDS, its memory measured at the start and the end.
stress: build
	@$(BUILD_DIR)/tarquil-stress $(BUILD_DIR)/bench/stress/stress.disk $(STRESS_SECONDS)

bench: build
	@bash scripts/bench.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i
