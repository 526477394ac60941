# The project's two commands. Each sets up what it needs on a fresh Debian 12
# machine (as root): packages, the Wine prefix, a virtual display.
#   make test   build everything and run every test under Wine
#   make run    build and start vornelle.exe
# BUILD names another build folder (each has its own Wine prefix), CTEST_ARGS
# passes options to ctest (e.g. CTEST_ARGS="-R Registry").
MAKEFLAGS += --no-print-directory
BUILD ?= build/mingw
export WINEPREFIX ?= $(abspath $(BUILD))/wineprefix
SESSION := .ci/wine-session
KEEPALIVE := $(BUILD)/tests/support/wine_keepalive.exe
CTEST_ARGS ?=

.PHONY: all setup configure build test clean

all: build

setup:
	@.ci/setup

configure: setup
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake --preset mingw -B $(BUILD) >/dev/null

build: configure
	@cmake --build $(BUILD) -j 2

test: build
	@$(SESSION) --keepalive $(KEEPALIVE) ctest --test-dir $(BUILD) --output-on-failure $(CTEST_ARGS)

# On the current X display; without one, a screenshot after one press (app/run.sh).
.PHONY: run
run: configure
	@cmake --build $(BUILD) -j 2 --target vornelle
	@app/run.sh $(BUILD)

# The release package $(DIST)/vornelle-1.0-win32.zip: the exe, README.md, LICENSE
# and SHA256SUMS, with fixed times and modes so that equal inputs give equal zips.
DIST ?= dist
PKG = $(DIST)/vornelle-1.0-win32
.PHONY: dist
dist: configure
	@cmake --build $(BUILD) -j 2 --target vornelle
	@rm -rf $(PKG) $(PKG).zip && mkdir -p $(PKG)
	@cp $(BUILD)/app/vornelle.exe README.md LICENSE $(PKG)/
	@cd $(PKG) && sha256sum vornelle.exe README.md LICENSE > SHA256SUMS && chmod 644 * \
	  && TZ=UTC touch -d @315532800 * && TZ=UTC zip -X -q ../vornelle-1.0-win32.zip \
	     vornelle.exe README.md LICENSE SHA256SUMS
	@rm -rf $(PKG) && echo "dist: $(PKG).zip"

clean:
	rm -rf $(BUILD)
