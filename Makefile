# The two commands of the README: `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
# Seconds each fuzz target runs in `make fuzz`.
FUZZ_TIME  ?= 60
FUZZ_TARGETS = open extract roundtrip macbinary appledouble gzip
CMAKE_ARGS ?=

.PHONY: all deps build run test test-asan fuzz bench clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run-app $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer;
# any report fails the run.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DPELLARC_SANITIZE=ON \
	      -DPELLARC_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# The fuzz targets, built with clang, libFuzzer and the sanitizers, each run
# for FUZZ_TIME seconds; a finding fails (scripts/fuzz-run says what to keep).
fuzz: build
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPELLARC_FUZZ=ON \
	      -DPELLARC_GUI=OFF -DPELLARC_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target corvane $(addprefix fuzz_,$(FUZZ_TARGETS))
	scripts/fuzz-run $(FUZZ_BUILD) $(FUZZ_TIME) $(BUILD)/bin/pellarc $(FUZZ_TARGETS)

bench: build
	@ls $(BUILD)/bin/bench_* 2>/dev/null | while read b; do echo "== $$b"; $$b; done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
