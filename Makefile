# Entry points for people and CI. Everything builds through the CMake presets.
#   make demo    build, then run vexmor on its bundled sample part
#   make test    build with the sanitizers, then run every test
#   make bench   build optimised, then run the benchmarks
#   make golden  compare every output of the eight functions with golden/expected.txt
#   make fuzz    build the libFuzzer targets, then run each for FUZZ_SECONDS (default 60)
#   make tsan    build the concurrent-calls stress test under ThreadSanitizer and run it
#   make format  reformat the sources; make format-check fails on any drift

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 60
DEBIAN_PACKAGES := cmake make g++ libgtest-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev \
  clang-format clang libclang-rt-14-dev
# Tracked sources and new ones not yet added, so that a file is formatted before its first commit.
FORMAT_FILES = $(shell git ls-files --cached --others --exclude-standard '*.h' '*.hpp' '*.c' '*.cpp' 2>/dev/null)

.PHONY: all deps build demo test bench fuzz tsan golden golden-record format format-check clean

all: build

# Installs what is missing from Debian's archive when run as root; otherwise only reports it.
deps:
	@missing=""; for p in $(DEBIAN_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    (apt-get install -y --no-install-recommends $$missing || \
	     (apt-get update && apt-get install -y --no-install-recommends $$missing)) >/dev/null; \
	  else \
	    echo "Missing Debian packages:$$missing (run 'sudo make deps')"; exit 1; \
	  fi; \
	fi

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

# Every fuzz target in turn, under AddressSanitizer and UndefinedBehaviorSanitizer.
fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run.sh build/fuzz

tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS)
	./build/tsan/tests/vexmor_stress_tests

# Results are pinned: every output of the eight functions on the shared meshes and on meshes
# built in code, as hashes. golden-record writes them anew after a deliberate change of values.
golden: build
	JOBS=$(JOBS) golden/check.sh build/release/golden/vexmor_golden

golden-record: build
	JOBS=$(JOBS) golden/check.sh build/release/golden/vexmor_golden --record

format:
	@echo "clang-format -i (all sources)"
	@clang-format -i $(FORMAT_FILES)

format-check:
	@echo "clang-format --dry-run --Werror (all sources)"
	@clang-format --dry-run --Werror $(FORMAT_FILES)

clean:
	rm -rf build
