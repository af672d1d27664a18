# zettray: build and test the 32-bit Windows tray monitor on Linux with mingw-w64 and Wine.
#
#   make deps     install the cross toolchain, Wine (with i386), Xvfb, CMake, GoogleTest
#                 sources, and wixl with msitools for the MSI package
#   make build    configure and build everything into build/bin
#   make package  deps + build, then the MSI package build/pkg/zettray-<version>-x86.msi
#                 (and -x64.msi when build/bin64 holds the 64-bit programs)
#   make test     deps + build, then every test through CTest under Xvfb and Wine
#   make demo     deps + build, then the sample kit installed and shown in a Wine desktop

SHELL := /bin/bash
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
export WINEPREFIX := $(abspath $(BUILD))/wineprefix
export WINEARCH := win32
export WINEDEBUG := -all
export WINEDLLOVERRIDES := mscoree,mshtml=

DEB_PKGS := wine wine32:i386 wine64 mingw-w64 g++-mingw-w64-i686 xvfb xauth cmake googletest make \
	wixl msitools

.PHONY: all deps build package test demo bench clean prefix

all: build

deps:
	@./tools/deps.sh $(DEB_PKGS)

# Configured on every build (quick): folders that appear later are picked up.
build: deps
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

# The 64-bit package too once the 64-bit programs are in $(BUILD)/bin64.
package: build
	./tools/package.sh x86 $(BUILD)/bin $(BUILD)/pkg
	@if [ -f $(BUILD)/bin64/zettray.exe ]; then ./tools/package.sh x64 $(BUILD)/bin64 $(BUILD)/pkg; fi

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
