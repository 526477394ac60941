# The project's two commands. Each sets up what it needs on a fresh Debian 12
# machine (as root): packages, the Wine prefix, a virtual display.
#   make test   build everything and run every test under Wine
#   make run    build and start vornelle.exe
MAKEFLAGS += --no-print-directory
PRESET := mingw
BUILD  := build/mingw
SESSION := .ci/wine-session
KEEPALIVE := $(BUILD)/tests/support/wine_keepalive.exe
CTEST_ARGS ?=

.PHONY: all setup configure build test clean

all: build

setup:
	@.ci/setup

configure: setup
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

test: build
	@$(SESSION) --keepalive $(KEEPALIVE) ctest --preset $(PRESET) $(CTEST_ARGS)

clean:
	rm -rf build
