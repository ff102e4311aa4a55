# Velumark — convenience targets. `make demo` and `make check` are the quick start.
BUILD      ?= build
BUILD_SAN  ?= build-san
BUILD_TSAN ?= build-tsan
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build check check-san check-threads demo bench fuzz format clean

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

check: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

check-san: deps
	@cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=Debug -DVELUMARK_SANITIZE=ON >/dev/null
	@cmake --build $(BUILD_SAN) -j $(JOBS)
	@cd $(BUILD_SAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

# The tests of the two-thread parts of a run, under ThreadSanitizer (not part of CI: slow).
check-threads: deps
	@cmake -S . -B $(BUILD_TSAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
	@cmake --build $(BUILD_TSAN) -j $(JOBS) --target test_engine test_cli test_dictionary velumark velumark_resources
	@cd $(BUILD_TSAN) && TSAN_OPTIONS=halt_on_error=1 ./bin/test_engine --gtest_filter='ParallelChecks.*:CheckerRun.Preloaded*'
	@cd $(BUILD_TSAN) && TSAN_OPTIONS=halt_on_error=1 ./bin/test_dictionary --gtest_filter='*SharedDictionaries*'
	@cd $(BUILD_TSAN) && TSAN_OPTIONS=halt_on_error=1 ./bin/test_cli --gtest_filter='*LargeGccReport*:*Json*'

demo: build
	@./scripts/demo.sh $(BUILD)

bench: build
	@./bench/run.sh $(BUILD)

fuzz: deps
	@./scripts/install-deps.sh clang libclang-rt-14-dev
	@./fuzz/run.sh $(FUZZ_SECONDS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_SAN)
