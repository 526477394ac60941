# The project's two commands. Each sets up what it needs on a fresh Debian 12
# machine (as root): packages, the Wine prefix, a virtual display.
#   make test   build both architectures and run every test under Wine, for
#               each architecture this machine can run
#   make run    build and start vornelle.exe (i686 where 32-bit programs run,
#               else x86_64)
#   make lint   check the program's own code: includes point down a floor, the
#               layout is .clang-format's, and cppcheck finds nothing
# ARCHS chooses the architectures to test (default: i686 x86_64); BUILD names
# another build root (default: build), holding a folder per architecture, each
# with its own Wine prefix; CTEST_ARGS passes options to ctest (e.g.
# CTEST_ARGS="-R Registry").
MAKEFLAGS += --no-print-directory
BUILD ?= build
ARCHS ?= i686 x86_64
CTEST_ARGS ?=
PRODUCT := $(BUILD)/i686/app/vornelle.exe

.PHONY: all setup configure build test clean run dist product lint

all: build

setup:
	@.ci/setup

# One build folder per architecture, configured once from its preset.
configure-%: setup
	@[ -f $(BUILD)/$*/CMakeCache.txt ] || cmake --preset $* -B $(BUILD)/$* >/dev/null

configure: $(addprefix configure-,$(ARCHS))

build-%: configure-%
	@cmake --build $(BUILD)/$* -j 2

# The released i686 program, which every suite checks as a file.
product: configure-i686
	@cmake --build $(BUILD)/i686 -j 2 --target vornelle

build: product $(addprefix build-,$(ARCHS))

test: build
	@.ci/test-suites $(BUILD) "$(ARCHS)" $(CTEST_ARGS)

# The program's own code (not tests, benchmarks or fuzz targets). cppcheck
# checks the configuration the program is built in (GNU, 32-bit Windows);
# a finding is fixed or suppressed inline with its reason.
LINT_DIRS := app passphrase toolkit runtime process examples
LINT_FILES = $(shell find $(LINT_DIRS) -name '*.cpp' -o -name '*.h' | sort)
lint: setup
	@.ci/check-layers
	@clang-format --dry-run -Werror $(LINT_FILES) && echo "lint: formatting as .clang-format says"
	@cppcheck --enable=warning,performance,portability --inline-suppr --error-exitcode=1 -q \
	  --std=c++14 -D__GNUC__ -D_WIN32 -DWIN32_LEAN_AND_MEAN -I . $(LINT_DIRS) \
	  && echo "lint: cppcheck found nothing"

# On the current X display; without one, a screenshot after one press (app/run.sh).
run: setup
	@arch=$$(.ci/can-run --preferred); \
	  echo "run: vornelle.exe for $$arch" >&2; \
	  $(MAKE) configure-$$arch && cmake --build $(BUILD)/$$arch -j 2 --target vornelle \
	  && app/run.sh $(BUILD)/$$arch

# The release package $(DIST)/vornelle-1.0-win32.zip: the i686 exe, README.md,
# LICENSE and SHA256SUMS, with fixed times and modes so that equal inputs give
# equal zips. Signing settings (SIGN_KEY, SIGN_CERT, ...; release/pack.sh lists
# them) sign the exe and check it before packing; without them it is unsigned.
DIST ?= dist
PKG = $(DIST)/vornelle-1.0-win32
export SIGN_KEY SIGN_CERT SIGN_PASS_FILE SIGN_PKCS11_MODULE SIGN_PKCS11_ENGINE \
  SIGN_TIMESTAMP_URL SIGN_CA SIGN_GPG_KEY SIGN_GPG_PASS_FILE
dist: product
	@release/pack.sh $(PRODUCT) $(PKG)

# Checks a release zip: SHA256SUMS (and its GPG signature if there is one), the
# exe's Authenticode signature (chaining to CA, else only intact), and that the
# exe without its signature equals a fresh build of COMMIT (default HEAD).
.PHONY: verify-release
verify-release: setup
	@release/verify.sh --zip "$(ZIP)" --ca "$(CA)" --commit "$(COMMIT)"

clean:
	rm -rf $(BUILD)
