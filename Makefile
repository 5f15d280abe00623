# Quorvane: the two commands a new user runs are `make demo` and `make test`.
# Both set the machine up first (idempotent) and build what they need.
SHELL := /bin/bash
JOBS ?= 2

.PHONY: all deps configure build build-native build-win32 test test-unit test-e2e demo bench clean

all: build

deps:
	bash scripts/setup.sh

build-native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native -j $(JOBS)

build-win32: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)

build: build-native build-win32

test: build
	ctest --preset native

test-unit: build-native
	ctest --preset native -L unit

test-e2e: build
	ctest --preset native -L e2e

demo: build
	bash scripts/demo.sh

bench: deps
	cmake --preset native-release >/dev/null
	cmake --build --preset native-release -j $(JOBS)
	bash scripts/bench.sh

clean:
	rm -rf build
