# Entry points for people and CI. Everything builds through the CMake presets.
#   make demo    build, then run vexmor on its bundled sample part; its picture and report go
#                to build/demo/sample.png and build/demo/sample.html
#   make test    build with the sanitizers, then run every test (test-cpp: the C++ tests alone)
#   make test-ratio  the size of the test suite against the code it tests
#   make bench   build optimised, then run the benchmarks
#   make bench-compare  time each call on one large mesh against Embree's rays and an edge
#                pass in the same run (MESH=path, SPHERE_MESH=path for the sphere methods)
#   make golden  compare every output of the eight functions with golden/expected.txt
#   make fuzz    build the libFuzzer targets, then run each for FUZZ_SECONDS (default 60),
#                JOBS targets at a time (default: the number of processors)
#   make tsan    build the concurrent-calls stress test under ThreadSanitizer and run it
#   make windows       cross-build vexmor.dll, its import library and vexmor.exe for Windows
#   make windows-test  cross-build everything, run the tests and the built meshes' golden
#                      comparison in Wine; make windows-golden compares on every mesh there
#   make format  reformat the sources; make format-check fails on any drift
#   make python  build the libraries the Python package loads and put them in python/vexmor/_lib
#   make python-test   the Python package's tests (make test runs them too)
#   make python-bench  batch speed-up over the shared meshes, 1 thread against 2

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 60
DEBIAN_PACKAGES := cmake make g++ libgtest-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev clang-format \
  zlib1g-dev lib3mf-dev libzip-dev libexpat1-dev \
  clang libclang-rt-14-dev \
  pkg-config libcairo2-dev fonts-dejavu-core libjs-three chromium nodejs \
  python3-numpy python3-pytest python3-setuptools python3-wheel python3-pip python3-venv \
  python3-dask python3-distributed
# Debian's Python, into which the python3-* packages above install: the python3 found first on
# PATH may be another install without numpy.
PYTHON ?= /usr/bin/python3
# The Windows cross build: MinGW-w64 (posix threads variant), GoogleTest's sources to build for
# the target, the program's header-only libraries, and Wine to run what it builds.
WINDOWS_PACKAGES := cmake make g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
  binutils-mingw-w64-x86-64 googletest libcli11-dev nlohmann-json3-dev wine64 wine
# Tracked sources and new ones not yet added, so that a file is formatted before its first commit.
FORMAT_FILES = $(shell git ls-files --cached --others --exclude-standard '*.h' '*.hpp' '*.c' '*.cpp' 2>/dev/null)

.PHONY: all deps windows-deps build demo test test-cpp test-ratio bench bench-compare golden golden-record \
  windows windows-test windows-golden format format-check clean python python-test python-bench fuzz tsan

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
	@mkdir -p build/demo
	./build/release/tools/vexmor analyze --png build/demo/sample.png
	./build/release/tools/vexmor report -o build/demo/sample.html --min 1.5 -q >/dev/null
	@echo "picture: build/demo/sample.png; report: open build/demo/sample.html in a web browser"

# test-cpp is the C++ part alone: the sanitizer build of the library, the program and the tests,
# and every C++ test.
test: test-cpp python-test test-ratio

test-cpp: deps
	cmake --preset test >/dev/null
	cmake --build --preset test -j $(JOBS)
	ctest --preset test

# The package loads the optimised libraries (a sanitizer build cannot be loaded into Python).
python: deps
	cmake --preset release >/dev/null
	cmake --build --preset release --target vexmor vexmor_read -j $(JOBS)
	mkdir -p python/vexmor/_lib
	cp -L build/release/libvexmor.so build/release/tools/reader/libvexmor_read.so python/vexmor/_lib/

python-test: python
	cd python && $(PYTHON) -m pytest -q -p no:cacheprovider tests

# Meshes from VEXMOR_MESHES (default: the shared corpus beside the checkout), as make golden.
python-bench: python
	nice -n 10 $(PYTHON) python/benchmarks/batch_speedup.py $${VEXMOR_MESHES:-../shared/meshes}

# Non-blank lines of the sources, scripts and CMake files under tests/ (not the small mesh files
# kept there) against everything under src/, tools/ and include/ (sources, CMake files and the
# report page's script and styles): the suite is kept to about a third of the code it tests. The Python package's tests are counted on their own line, against
# the package they test.
NONBLANK = git ls-files --cached --others --exclude-standard $(1) | grep -E '$(2)' | \
	  xargs -d '\n' cat | grep -cv '^[[:space:]]*$$'
test-ratio:
	@tests=$$($(call NONBLANK,tests,\.(h|c|cpp|mjs|sh)$$|CMakeLists\.txt$$)); \
	code=$$($(call NONBLANK,src tools include,.)); \
	awk -v t=$$tests -v c=$$code 'BEGIN { printf "test lines %d, code lines %d: %.1f %%\n", t, c, 100 * t / c }'
	@tests=$$($(call NONBLANK,python/tests,\.py$$)); \
	code=$$($(call NONBLANK,python/vexmor,\.py$$)); \
	awk -v t=$$tests -v c=$$code 'BEGIN { printf "python test lines %d, package lines %d: %.1f %%\n", t, c, 100 * t / c }'

bench: deps
	cmake --preset bench >/dev/null
	cmake --build --preset bench -j $(JOBS)
	./build/bench/bench/vexmor_bench

# Embree is installed for this benchmark only; the library depends on nothing.
MESH ?= ../shared/meshes/derived/counter_unitsmm_x16.ply
SPHERE_MESH ?= ../shared/meshes/common3d/nefertiti.obj
bench-compare: deps
	$(call install-missing,libembree-dev)
	cmake --preset release >/dev/null
	cmake --build --preset release --target vexmor_bench_compare -j $(JOBS)
	nice -n 10 ./build/release/bench/compare/vexmor_bench_compare $(MESH) $(SPHERE_MESH)

# Every fuzz target, under AddressSanitizer and UndefinedBehaviorSanitizer, JOBS at a time.
fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS) --target fuzzers
	FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) fuzz/run.sh build/fuzz

tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS) --target vexmor_stress_tests
	./build/tsan/tests/vexmor_stress_tests

# Results are pinned: every output of the eight functions on the shared meshes and on meshes
# built in code, as hashes. golden-record writes them anew after a deliberate change of values.
golden: build
	JOBS=$(JOBS) golden/check.sh build/release/golden/vexmor_golden

golden-record: build
	JOBS=$(JOBS) golden/check.sh build/release/golden/vexmor_golden --record

# Windows: build/windows/bin holds vexmor.dll, its import library libvexmor.dll.a, vexmor.def,
# vexmor.exe (without pictures: Debian has no Cairo for Windows) and vexmor_read.dll, the
# readers the Python package loads. The tests (the program's sample analysis among them) and
# the golden comparison run in Wine, in a prefix of the build's own (build/windows/wine), made
# on first use.
WINDOWS_GOLDEN = golden/check.sh build/windows/bin/vexmor_golden.exe

windows: windows-deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS) --target vexmor vexmor_read vexmor_cli vexmor_golden

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
	rm -rf build python/vexmor/_lib
