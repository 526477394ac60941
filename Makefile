# The project's commands. Each sets up what it needs on a fresh Debian 12 or
# 13 machine (as root): packages, the Wine prefix, a virtual X display.
#   make test   build both architectures and run every test under Wine, for
#               each architecture this machine can run (and the i686 tests once
#               more on 64-bit Windows, WoW64, where i686 runs)
#   make run    build and start vornelle.exe (i686 where 32-bit programs run,
#               else x86_64)
#   make lint   check the program's own code: includes point down a floor, the
#               layout is .clang-format's, and cppcheck finds nothing; no file
#               names an outside host or writes the version again; and the
#               docs' blocks of measured figures are intact
#   make bench, soak, memory, stats, fuzz, screenshot, gallery, fresh-check,
#               reprotest: on demand (below)
# ARCHS chooses the architectures to test (default: i686 x86_64); BUILD names
# another build root (default: build), holding a folder per architecture, each
# with its own Wine prefix; CTEST_ARGS passes options to ctest (e.g.
# CTEST_ARGS="-R Registry"). Everything run under Wine goes through
# tools/in-session, which sets up, builds the named targets and enters the
# build folder's Wine session.
MAKEFLAGS += --no-print-directory
BUILD ?= build
ARCHS ?= i686 x86_64
CTEST_ARGS ?=
DIST ?= dist

# Values from outside (the command line, the environment) are data. Each is
# taken as it stands, never expanded again by make, and reaches a recipe only
# through the environment, which the shell does not parse: "$$BUILD", never
# $(BUILD), in a recipe. Makes started below (CMake's) are not handed the
# command line's variables, which they would read as make text again.
MAKEOVERRIDES :=
OUTSIDE := BUILD ARCHS CTEST_ARGS DIST ZIP CA COMMIT KEY REBUILD REBUILD_MIRROR SIGN_KEY SIGN_CERT SIGN_PASS_FILE \
  SIGN_PKCS11_MODULE SIGN_PKCS11_ENGINE SIGN_TIMESTAMP_URL SIGN_CA SIGN_GPG_KEY SIGN_GPG_PASS_FILE \
  SUITE
$(foreach name,$(OUTSIDE),$(eval override $(name) := $$(value $(name))))
export BUILD ARCHS CTEST_ARGS DIST SUITE
# UnZip reads its own options from ZIP; the release check takes these under
# names of its own.
unexport ZIP CA COMMIT KEY REBUILD REBUILD_MIRROR
ifneq ($(filter-out i686 x86_64,$(ARCHS)),)
  $(error ARCHS holds an architecture this project does not build (i686 and x86_64 only))
endif

.PHONY: all setup configure build test clean run dist product lint fresh-check reprotest \
        bench soak memory stats fuzz screenshot gallery

all: build

setup:
	@tools/setup

# One build folder per architecture, configured once from its preset; the
# build root, when it is new, carries the project's mark, and an existing one
# is built in only when it is the caller's (tools/build-root).
configure-i686 configure-x86_64: configure-%: setup
	@tools/build-root make "$$BUILD" && { [ -f "$$BUILD/$*/CMakeCache.txt" ] \
	  || cmake --preset $* -B "$$BUILD/$*" >/dev/null; }

configure: $(addprefix configure-,$(ARCHS))

build-i686 build-x86_64: build-%: configure-%
	@cmake --build "$$BUILD/$*" -j 2

# The released i686 program, which every suite checks as a file.
product: configure-i686
	@cmake --build "$$BUILD/i686" -j 2 --target vornelle

build: product $(addprefix build-,$(ARCHS))

test: build
	@set -f; tools/test-suites "$$BUILD" "$$ARCHS" $$CTEST_ARGS

# The program's own code (not tests, benchmarks or fuzz targets). cppcheck
# checks the configuration the program is built in (GNU, 32-bit Windows);
# a finding is fixed or suppressed inline with its reason.
LINT_DIRS := app passphrase toolkit runtime process examples
LINT_FILES = $(shell find $(LINT_DIRS) -name '*.cpp' -o -name '*.h' | sort)
lint: setup
	@tools/check-layers
	@tools/check-hosts
	@tools/figures check
	@tools/check-version
	@clang-format --dry-run -Werror $(LINT_FILES) && echo "lint: formatting as .clang-format says"
	@cppcheck --enable=warning,performance,portability --inline-suppr --error-exitcode=1 -q \
	  --std=c++14 -D__GNUC__ -D_WIN32 -DWIN32_LEAN_AND_MEAN -I . $(LINT_DIRS) \
	  && echo "lint: cppcheck found nothing"

# On the current X display (tools/has-display says whether there is one);
# without one, a screenshot after one press (tools/run-program).
run: setup
	@if tools/has-display; then \
	  tools/in-session --preferred --build "$$BUILD" --display vornelle -- tools/run-program; \
	else \
	  echo "run: no X display; running on a virtual one and taking a screenshot" >&2; \
	  tools/in-session --preferred --build "$$BUILD" vornelle -- tools/run-program --screenshot; \
	fi

# The gallery of the toolkit's controls (examples/gallery) on the X display.
gallery: setup
	@tools/has-display || { echo "gallery: no X display (make screenshot takes its picture)" >&2; exit 1; }
	@tools/in-session --preferred --build "$$BUILD" --display vornelle_gallery \
	  -- sh -c 'exec wine "$$VORNELLE_BUILD/examples/gallery/vornelle_gallery.exe"'

# The README's pictures, docs/screenshot.png and docs/gallery.png, taken on a
# virtual display from the i686 build (x86_64 where 32-bit programs do not run).
screenshot: setup
	@tools/in-session --preferred --build "$$BUILD" vornelle vornelle_gallery -- \
	  sh -c 'tools/run-program --screenshot docs/screenshot.png \
	    && tools/window-shot "$$VORNELLE_BUILD/examples/gallery/vornelle_gallery.exe" \
	         "^Vornelle toolkit gallery$$" docs/gallery.png'

# Benchmarks, soak, memory probe and statistics build in a root of their own,
# $(BUILD)/bench (MinSizeRel, as released). bench and memory measure every
# architecture in ARCHS that this machine runs (bench: RUNS and IDLE_SECONDS;
# memory: RUNS and PRESSES); soak (PRESSES, WARMUP) and stats (COUNT, TESTS)
# the preferred one. bench, soak and memory write their tables into the docs
# (tools/figures).
BENCH_BUILD = "$$BUILD/bench"
bench: setup
	@for arch in $$ARCHS; do \
	  if why=$$(tools/can-run $$arch); then \
	    tools/in-session $$arch --build $(BENCH_BUILD) vornelle baseline launch_wait passphrase_rate \
	      -- bench/compare.sh || exit 1; \
	  else echo "bench: $$arch: skipped, $$why"; fi; \
	done

memory: setup
	@for arch in $$ARCHS; do \
	  if why=$$(tools/can-run $$arch); then \
	    tools/in-session $$arch --build $(BENCH_BUILD) vornelle memory_probe -- bench/memory.sh || exit 1; \
	  else echo "memory: $$arch: skipped, $$why"; fi; \
	done

soak: setup
	@tools/in-session --preferred --build $(BENCH_BUILD) vornelle soak_driver -- bench/soak.sh

stats:
	@tools/in-session --preferred --build $(BENCH_BUILD) --setup stats chi_squared draw_stream \
	  -- bench/stats/run.sh

# Fuzzing runs natively (clang, sanitizers), without Wine: FUZZ_RUNS inputs
# per target (fuzz/run.sh).
fuzz:
	@tools/setup fuzz
	@fuzz/run.sh

# The release package $(DIST)/vornelle-VERSION-win32.zip, VERSION being the
# file of that name: the i686 exe, README.md (the user's page,
# release/README.md), LICENSE, BUILDINFO and SHA256SUMS, written by
# release/release_zip.py in one fixed layout (stored, fixed order, times and
# modes): equal inputs give equal zips. Signing settings (SIGN_KEY, SIGN_CERT,
# ...; release/pack.sh lists them) sign the exe and check it before packing;
# without them it is unsigned.
export SIGN_KEY SIGN_CERT SIGN_PASS_FILE SIGN_PKCS11_MODULE SIGN_PKCS11_ENGINE \
  SIGN_TIMESTAMP_URL SIGN_CA SIGN_GPG_KEY SIGN_GPG_PASS_FILE
dist: product
	@release/pack.sh "$$BUILD/i686/app/vornelle.exe" "$$DIST"

# Checks a release zip (release/verify.py): byte for byte the packing's zip of
# exactly the release's files, SHA256SUMS and BUILDINFO exactly as the
# packing writes them, its GPG signature by the key KEY names (a fingerprint),
# the exe's Authenticode signature (chaining to CA, else only intact), README.md
# (release/README.md) and LICENSE as the commit has them, and the exe without
# its signature equal to a fresh build of COMMIT (default HEAD). When this
# machine's tools are not the ones BUILDINFO records, that build runs in a
# minimal root of the recorded Debian release with the recorded versions (root
# and debootstrap; release/root_rebuild.py), its packages from REBUILD_MIRROR
# (default: the machine's own Debian mirror). REBUILD=no builds no root and
# says "not rebuilt"; REBUILD=root builds in a root even when the tools are the
# same.
.PHONY: verify-release
verify-release: export VERIFY_ZIP := $(ZIP)
verify-release: export VERIFY_CA := $(CA)
verify-release: export VERIFY_COMMIT := $(COMMIT)
verify-release: export VERIFY_KEY := $(KEY)
verify-release: export VERIFY_REBUILD := $(REBUILD)
verify-release: export VERIFY_MIRROR := $(REBUILD_MIRROR)
verify-release: setup
	@release/verify.py --zip "$$VERIFY_ZIP" --ca "$$VERIFY_CA" --commit "$$VERIFY_COMMIT" \
	  --key "$$VERIFY_KEY" --rebuild "$$VERIFY_REBUILD" --mirror "$$VERIFY_MIRROR"

# The README's steps on a minimal Debian root of the release SUITE (bookworm
# or trixie, default trixie), from the committed tree (tools/fresh-check;
# slow, needs the Debian mirror of the machine's apt sources, not part of CI).
fresh-check:
	@tools/fresh-check

# The i686 product built twice by Debian's reprotest, the second build varied
# in every way this machine allows: time, time zone, locale, umask, user, home,
# file order, host name, build path and more (tools/reprotest; slow, not part
# of make test).
reprotest:
	@tools/setup reprotest && tools/reprotest

# Removes the build root only when it is the project's (tools/build-root).
clean:
	@tools/build-root remove "$$BUILD"
