# Entry points for people and CI. Everything builds through the CMake presets.
#   make demo    build, then run vexmor on its bundled sample part
#   make test    build with the sanitizers, then run every test
#   make bench   build optimised, then run the benchmarks
#   make golden  compare every output of the eight functions with golden/expected.txt
#   make windows       cross-build vexmor.dll, its import library and vexmor.exe for Windows
#   make windows-test  cross-build everything, run the tests and the built meshes' golden
#                      comparison in Wine; make windows-golden compares on every mesh there
#   make format  reformat the sources; make format-check fails on any drift

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
DEBIAN_PACKAGES := cmake make g++ libgtest-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev clang-format
# The Windows cross build: MinGW-w64 (posix threads variant), GoogleTest's sources to build for
# the target, the program's header-only libraries, and Wine to run what it builds.
WINDOWS_PACKAGES := cmake make g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
  binutils-mingw-w64-x86-64 googletest libcli11-dev nlohmann-json3-dev wine64 wine
# Tracked sources and new ones not yet added, so that a file is formatted before its first commit.
FORMAT_FILES = $(shell git ls-files --cached --others --exclude-standard '*.h' '*.hpp' '*.c' '*.cpp' 2>/dev/null)

.PHONY: all deps windows-deps build demo test bench golden golden-record windows windows-test \
  windows-golden format format-check clean

all: build

# Installs the packages $(1) that are missing from Debian's archive when run as root; otherwise
# only reports them.
define install-missing
	@missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    (apt-get install -y --no-install-recommends $$missing || \
	     (apt-get update && apt-get install -y --no-install-recommends $$missing)) >/dev/null; \
	  else \
	    echo "Missing Debian packages:$$missing (run 'sudo make $@')"; exit 1; \
	  fi; \
	fi
endef

deps:
	$(call install-missing,$(DEBIAN_PACKAGES))

windows-deps:
	$(call install-missing,$(WINDOWS_PACKAGES))

build: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

demo: build
	./build/release/tools/vexmor

test: deps
	cmake --preset test >/dev/null
	cmake --build --preset test -j $(JOBS)
	ctest --preset test

bench: deps
	cmake --preset bench >/dev/null
	cmake --build --preset bench -j $(JOBS)
	./build/bench/bench/vexmor_bench

# Results are pinned: every output of the eight functions on the shared meshes and on meshes
# built in code, as hashes. golden-record writes them anew after a deliberate change of values.
golden: build
	JOBS=$(JOBS) golden/check.sh build/release/golden/vexmor_golden

golden-record: build
	JOBS=$(JOBS) golden/check.sh build/release/golden/vexmor_golden --record

# Windows: build/windows/bin holds vexmor.dll, its import library libvexmor.dll.a, vexmor.def
# and vexmor.exe. The tests (the program's sample analysis among them) and the golden
# comparison run in Wine, in a prefix of the build's own (build/windows/wine), made on first use.
WINDOWS_GOLDEN = golden/check.sh build/windows/bin/vexmor_golden.exe

windows: windows-deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS) --target vexmor vexmor_cli vexmor_golden

windows-test: windows-deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)
	tests/windows/with_wine.sh build/windows/wine sh -c 'nice -n 10 ctest --preset windows && \
	  RUNNER="$$WINE" VEXMOR_MESHES= $(WINDOWS_GOLDEN)'

windows-golden: windows
	tests/windows/with_wine.sh build/windows/wine sh -c \
	  'RUNNER="nice -n 10 $$WINE" JOBS=$(JOBS) $(WINDOWS_GOLDEN)'

format:
	@echo "clang-format -i (all sources)"
	@clang-format -i $(FORMAT_FILES)

format-check:
	@echo "clang-format --dry-run --Werror (all sources)"
	@clang-format --dry-run --Werror $(FORMAT_FILES)

clean:
	rm -rf build
