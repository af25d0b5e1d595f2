# The two commands of README.md, plus a few for developers.
JOBS ?= $(shell nproc)
RELEASE_DIR := build/release
TEST_DIR := build/asan
FUZZ_DIR := build/fuzz
CMAKE_GEN := -G Ninja

.PHONY: deps test-deps run build test lint fuzz bench clean install uninstall deb

# What building and running need; the tests and the lint add their own tools (scripts/deps.d).
deps:
	@bash scripts/install-deps run

test-deps:
	@bash scripts/install-deps run test

$(RELEASE_DIR)/build.ninja: | deps
	cmake -S . -B $(RELEASE_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DSTIKKO_TESTS=OFF

build: deps $(RELEASE_DIR)/build.ninja
	cmake --build $(RELEASE_DIR) -j $(JOBS)

run: build
	$(RELEASE_DIR)/bin/stikko

$(TEST_DIR)/build.ninja: | test-deps
	cmake -S . -B $(TEST_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DSTIKKO_SANITIZE=ON

test: test-deps $(TEST_DIR)/build.ninja
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)

# The format check, the layer check and the static analysis (scripts/lint), on the test
# build's compile commands.
lint: test-deps $(TEST_DIR)/build.ninja
	bash scripts/lint $(TEST_DIR)

# Installs the release build under PREFIX (the program in PREFIX/lib/stikko, the command
# PREFIX/bin/stikko, launcher entry, icon) and the log-in autostart entry: the user's own for a
# PREFIX in the home folder, else the system's. PREFIX=/usr needs root.
PREFIX ?= $(HOME)/.local
ifeq ($(filter $(HOME)/%,$(abspath $(PREFIX))),)
AUTOSTART_DIR ?= /etc/xdg/autostart
else
AUTOSTART_DIR ?= $(or $(XDG_CONFIG_HOME),$(HOME)/.config)/autostart
endif

install: build
	bash scripts/install-program $(RELEASE_DIR) "$(PREFIX)" "$(AUTOSTART_DIR)"

uninstall:
	bash scripts/uninstall-program "$(PREFIX)"

# The Debian package, made from the release build with debhelper (scripts/build-deb): the
# program under /usr, with no autostart entry; it ends up in build/deb/.
DEB_DIR := build/deb
deb: build
	@bash scripts/install-deps extra/deb
	bash scripts/build-deb $(RELEASE_DIR) $(DEB_DIR)

# FUZZ_SECONDS bounds each fuzz target's run.
FUZZ_SECONDS ?= 60
fuzz: deps
	@bash scripts/install-deps extra/fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTIKKO_FUZZ=ON
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzzers
	bash scripts/run-fuzzers $(FUZZ_DIR) $(FUZZ_SECONDS)

bench: deps $(RELEASE_DIR)/build.ninja
	@bash scripts/install-deps extra/bench
	cmake $(RELEASE_DIR) >/dev/null # finds the benchmark library installed just now
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target benchmarks
	bash scripts/run-benchmarks $(RELEASE_DIR)

clean:
	rm -rf build
