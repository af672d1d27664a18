# zettray: build and test the Windows tray monitor, 32-bit and 64-bit, on Linux with
# mingw-w64 and Wine.
#
#   make deps     install the cross toolchains, Wine (with i386), Xvfb, CMake, GoogleTest
#                 sources, wixl with msitools, osslsigncode and faketime for the signed
#                 MSI packages, the locale sources from which the tests compile a Japanese
#                 locale of their own, and a Japanese font for the demo
#   make build    configure and build everything: 32-bit into build/bin, 64-bit into build/bin64
#   make package  deps + build, then the signed MSI packages build/pkg/zettray-<version>-x86.msi
#                 and -x64.msi, each with its signed programs and its bill of materials
#                 (SIGN_PFX and SIGN_PASS, or SIGN_CERT and SIGN_KEY: the signing key; see
#                 tools/sign.sh)
#   make test     deps + build, then every test of both builds through CTest under Xvfb and Wine
#   make demo     deps + build, then the sample kit installed and shown in a Wine desktop
#   make bench    start-up work and idle memory of the monitor against minimal tray programs
#   make stress   copies of the monitor started at the same moment, 20 trials per case

SHELL := /bin/bash
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
export WINEPREFIX := $(abspath $(BUILD))/wineprefix
export WINEARCH := win32
export WINEDEBUG := -all
export WINEDLLOVERRIDES := mscoree,mshtml=

DEB_PKGS := wine wine32:i386 wine64 mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 xvfb xauth cmake \
	googletest make wixl msitools locales osslsigncode openssl faketime fonts-vlgothic

.PHONY: all deps build package test demo bench stress clean prefix build64 prefix64 test64 clean64

all: build

deps:
	@./tools/deps.sh $(DEB_PKGS)

# Configured on every build (quick): folders that appear later are picked up.
build: deps
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

# One package per build: the 32-bit kit from $(BUILD)/bin, the 64-bit one from $(BUILD)/bin64.
package: build
	@start=$$(date +%s); \
	./tools/package.sh x86 $(BUILD)/bin $(BUILD)/pkg && ./tools/package.sh x64 $(BUILD)/bin64 $(BUILD)/pkg && \
	echo "make package: both packages signed in $$(( $$(date +%s) - start )) s"

prefix: build
	@./tools/prefix.sh

# The two builds' suites run side by side, each in its own prefix and display (their tests
# mostly wait for processes and windows); the 64-bit run's output follows the 32-bit one's.
test: build prefix prefix64
	@start=$$(date +%s); rc=0; log64=$(BUILD64)/test-run.log; \
	( WINEPREFIX=$(WINEPREFIX64) WINEARCH=win64 XVFB_SERVERNUM=199 ./tools/run-tests.sh $(BUILD64) \
	  >$$log64 2>&1 ) & pid64=$$!; \
	./tools/run-tests.sh $(BUILD) || rc=1; \
	wait $$pid64 || rc=1; cat $$log64; \
	echo "make test: both builds in $$(( $$(date +%s) - start )) s (exit $$rc)"; exit $$rc

demo: build prefix
	./tools/demo.sh $(BUILD)

clean: clean64
	-WINEPREFIX=$(WINEPREFIX) wineserver -k 2>/dev/null
	rm -rf $(BUILD)

# Start-up work and idle memory of the monitor against a minimal tray program.
bench: build prefix
	./tools/run-bench.sh $(BUILD)

# Copies started at the same moment (one printer, several printers; existing and new
# target store), STRESS_TRIALS (20) trials per case, in a Wine prefix of their own.
stress: build
	./tools/run-stress.sh $(BUILD)

# ---- The 64-bit (x86_64) build -------------------------------------------------------
# Its own tree (build/x64) and Wine prefix (a win64 one, which runs 32-bit programs too);
# what ships goes to build/bin64. Its tests include the cross-kind tests, which start the
# 32-bit build's programs from build/bin beside the 64-bit ones.
BUILD64 ?= $(BUILD)/x64
BIN64 := $(abspath $(BUILD))/bin64
WINEPREFIX64 := $(abspath $(BUILD))/wineprefix64

build: build64

build64: deps
	cmake -S . -B $(BUILD64) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DZT_BIN_DIR=$(BIN64) -DZT_PEER_BIN_DIR=$(abspath $(BUILD))/bin >/dev/null
	cmake --build $(BUILD64) -j $(JOBS)

prefix64: build
	@WINEPREFIX=$(WINEPREFIX64) WINEARCH=win64 ./tools/prefix.sh

test64: build prefix64
	WINEPREFIX=$(WINEPREFIX64) WINEARCH=win64 ./tools/run-tests.sh $(BUILD64)

clean64:
	-WINEPREFIX=$(WINEPREFIX64) wineserver -k 2>/dev/null
