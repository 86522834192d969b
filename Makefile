# make run    install what building and running need, build the program, start the recorder
# make test   install everything the tests need, build, run every test (also in sanitizer builds)
# make bench  install everything the benchmarks need, build optimised, run the benchmarks
# make package  build the Debian package build/packages/wavelark_<version>_amd64.deb

JOBS ?= 2
BUILD ?= build
CMAKE_FLAGS ?=

.PHONY: all deps deps-run build run test test-unit test-sanitizers bench clean package screenshots

all: build

deps:
	@scripts/install-deps all

deps-run:
	@scripts/install-deps run

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWAVELARK_TESTS=ON $(CMAKE_FLAGS) > $(BUILD).configure.log || { cat $(BUILD).configure.log; exit 1; }
	@cmake --build $(BUILD) -j$(JOBS)

# The program without its tests; the compiler's lines go to a log, shown when the build fails.
run: deps-run
	@echo "Building Wavelark in $(BUILD)/ (the first build takes several minutes; its output goes to $(BUILD).build.log) ..."
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWAVELARK_TESTS=OFF $(CMAKE_FLAGS) > $(BUILD).configure.log || { cat $(BUILD).configure.log; exit 1; }
	@cmake --build $(BUILD) -j$(JOBS) > $(BUILD).build.log 2>&1 || { tail -n 40 $(BUILD).build.log; echo "The build failed; its whole output is in $(BUILD).build.log."; exit 1; }
	@echo "Built. Starting the recorder."
	@scripts/run-wavelark $(BUILD)

test-unit: build
	cd $(BUILD) && ctest -j$(JOBS) --output-on-failure --timeout 600

# $(call sanitizer_tests,KIND,TARGET,LABELS): configures build-KIND with that sanitizer, builds
# TARGET and runs the tests whose label matches LABELS.
define sanitizer_tests
	@cmake -S . -B build-$(1) -DCMAKE_BUILD_TYPE=Debug -DWAVELARK_SANITIZE=$(1) > build-$(1).configure.log || { cat build-$(1).configure.log; exit 1; }
	@cmake --build build-$(1) -j$(JOBS) --target $(2)
	@echo "== tests in the $(1) sanitizer build"
	@cd build-$(1) && TSAN_OPTIONS=halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest -j$(JOBS) -L '$(3)' --output-on-failure --timeout 900
endef

# The address build runs the tests labelled "sanitize" and "threads", the thread build those
# labelled "threads" (the ones whose code runs threads of its own).
test-sanitizers: deps
	$(call sanitizer_tests,address,sanitize_tests,sanitize|threads)
	$(call sanitizer_tests,thread,thread_tests,threads)

test: test-sanitizers test-unit

bench: deps
	@cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DWAVELARK_BENCH=ON -DWAVELARK_TESTS=OFF > build-bench.configure.log || { cat build-bench.configure.log; exit 1; }
	@cmake --build build-bench -j$(JOBS)
	@scripts/run-benchmarks build-bench

clean:
	rm -rf build build-address build-thread build-bench build-fuzz *.configure.log *.build.log

package: build
	@cmake --build $(BUILD) --target package

# The recorder's and the setup program's screenshots in docs/screenshots (headless: Qt's offscreen platform, test audio device).
screenshots: build
	@cmake --build $(BUILD) --target screenshots
