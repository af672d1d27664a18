# zettray: build and test the 32-bit Windows tray monitor on Linux with mingw-w64 and Wine.
#
#   make deps   install the cross toolchain, Wine (with i386), Xvfb, CMake and GoogleTest sources
#   make build  configure and build everything into build/bin
#   make test   deps + build, then every test through CTest under Xvfb and Wine
#   make demo   deps + build, then the sample kit installed and shown in a Wine desktop
#   make bench  start-up work and idle memory of the monitor against minimal tray programs
#   make stress copies of the monitor started at the same moment, 20 trials per case

SHELL := /bin/bash
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
export WINEPREFIX := $(abspath $(BUILD))/wineprefix
export WINEARCH := win32
export WINEDEBUG := -all
export WINEDLLOVERRIDES := mscoree,mshtml=

DEB_PKGS := wine wine32:i386 wine64 mingw-w64 g++-mingw-w64-i686 xvfb xauth cmake googletest make

.PHONY: all deps build test demo bench stress clean prefix

all: build

deps:
	@./tools/deps.sh $(DEB_PKGS)

# Configured on every build (quick): folders that appear later are picked up.
build: deps
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

prefix: build
	@./tools/prefix.sh

test: build prefix
	./tools/run-tests.sh $(BUILD)

demo: build prefix
	./tools/demo.sh $(BUILD)

clean:
	-WINEPREFIX=$(WINEPREFIX) wineserver -k 2>/dev/null
	rm -rf $(BUILD)

# Start-up work and idle memory of the monitor against a minimal tray program.
bench: build prefix
	./tools/run-bench.sh $(BUILD)

# Copies started at the same moment (one printer, several printers; existing and new
# target store), STRESS_TRIALS (20) trials per case, in a Wine prefix of their own.
stress: build
	./tools/run-stress.sh $(BUILD)
