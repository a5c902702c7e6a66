# The two commands of README.md: `make run` and `make test`; `make package` builds the Debian package.
BUILD_TYPE ?= Release
JOBS ?= $(shell nproc)

.PHONY: run test package deps build-release build-test bench format clean

deps:
	@scripts/install-deps

build-release: deps
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build build/release -j $(JOBS)

run: build-release
	build/release/src/app/tavlo

build-test: deps
	cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVLO_SANITIZE=ON -DTAVLO_WERROR=ON
	cmake --build build/test -j $(JOBS)

# As root, the suite runs as the user nobody (file modes matter as on a user's machine), then the
# tests labelled "root" (small file systems, network namespaces) run as root: see scripts/run-tests.
test: build-test
	JOBS=$(JOBS) scripts/run-tests build/test

# A release build of what the package installs, wrapped by CPack into build/release/tavlo_<version>_<arch>.deb
# (install it with `sudo apt install ./build/release/tavlo_*.deb`).
package: deps
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build build/release -j $(JOBS) --target tavlo tavlo-cadtext tavlo_man_pages
	cd build/release && cpack

bench: build-release
	@for b in build/release/bench/bench_*; do \
		if [ -f "$$b" ] && [ -x "$$b" ]; then QT_QPA_PLATFORM=offscreen "$$b" || exit 1; fi; \
	done

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
