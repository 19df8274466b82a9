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
	ctest --preset asan --output-on-failure

bench: build
	bash bench/run-benchmarks.sh

samples: build
	./build/resources/samplegen resources/samples

clean:
	rm -rf build build-asan

.PHONY: package
package: build
	cmake --build --preset default --target package
