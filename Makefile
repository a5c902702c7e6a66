# The two commands of README.md: `make run` and `make test`.
BUILD_TYPE ?= Release
JOBS ?= $(shell nproc)

.PHONY: run test deps build-release build-test bench format clean

deps:
	@scripts/install-deps

build-release: deps
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build build/release -j $(JOBS)

run: build-release
	build/release/src/app/tavlo

build-test: deps
	cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVLO_SANITIZE=ON
	cmake --build build/test -j $(JOBS)

test: build-test
	cd build/test && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 300

bench: build-release
	@for b in build/release/bench/bench_*; do [ -x "$$b" ] && QT_QPA_PLATFORM=offscreen "$$b"; done

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
