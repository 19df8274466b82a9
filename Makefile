# Vantorel: the two commands that matter are `make run` and `make test`.
SHELL := /bin/bash
SAMPLE := resources/samples/sample.dcx

.PHONY: all deps configure build run test test-core test-asan bench samples clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake --preset default

build: configure
	cmake --build --preset default

run: build
	bash scripts/run-viewer.sh $(SAMPLE)

test: build
	ctest --preset default --output-on-failure
	cmake --preset asan
	cmake --build --preset asan
	rm -rf build-asan/sanitizer && mkdir -p build-asan/sanitizer
	status=0; ctest --preset asan --output-on-failure || status=1; \
	  bash scripts/sanitizer-reports.sh build-asan/sanitizer || status=1; exit $$status

bench: build
	cmake --build --preset default --target benchmarks
	bash bench/run-benchmarks.sh

samples: build
	./build/resources/samplegen resources/samples

clean:
	rm -rf build build-asan

.PHONY: package
package: build
	cmake --build --preset default --target package

# Fuzzing (clang, libFuzzer, ASan+UBSan): every target for FUZZ_SECONDS seconds.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := fuzz_render fuzz_check fuzz_tiff_writer fuzz_pdf_writer fuzz_bmp_import fuzz_longfax fuzz_print fuzz_thumbnail
.PHONY: fuzz
fuzz: build
	cmake --preset fuzz
	cmake --build --preset fuzz --target $(FUZZ_TARGETS)
	bash fuzz/run-fuzz.sh $(FUZZ_SECONDS)
