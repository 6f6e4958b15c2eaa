# The project's commands. `make test` sets everything up and runs every test.

JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
WINDOWS_BUILD ?= build-windows

.PHONY: format format-check test-ratio all setup setup-desktop build build-asan build-tsan build-windows windows screenshots-windows run install uninstall deb test mutation-table test-plain test-asan test-tsan test-windows fuzz bench screenshots clean

all: build

setup:
	./scripts/setup.sh

setup-desktop:
	./scripts/setup.sh --desktop

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVENIX_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)

build-asan: setup
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTARVENIX_SANITIZE=ON -DTARVENIX_WERROR=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The Qt-free core and its tests under ThreadSanitizer (no front end: Qt is
# not built with the sanitizer); -O1 in its Debug build.
build-tsan: setup
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTARVENIX_TSAN=ON -DTARVENIX_WERROR=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS)

# The Windows program, cross-compiled with MinGW-w64; its tests run under wine
# (cmake/wine-run.sh) with the Japanese code page.
build-windows: setup
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVENIX_WERROR=ON \
		-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# Starts the program from the build folder (system.dat and history.txt are
# kept beside it, in $(BUILD)/app).
run: setup-desktop build
	$(BUILD)/app/tarvenix

# Installs for the current user into ~/.local/lib/tarvenix with a menu entry;
# AUTOSTART=1 also starts it with the desktop session.
install: setup-desktop build
	./scripts/install.sh $(BUILD) $(if $(AUTOSTART),--autostart,)

uninstall:
	./scripts/install.sh --uninstall

# The Debian package, $(BUILD)/dist/tarvenix_7.00-1_amd64.deb; installed with
# `sudo apt install ./$(BUILD)/dist/tarvenix_7.00-1_amd64.deb`.
deb: build
	./scripts/package_debian.sh $(BUILD)

bench: build
	./bench/run_benchmarks.sh

screenshots: build
	./scripts/screenshots.sh $(BUILD)

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# The tests of the code that runs threads, those with the ctest label
# `threads` (the engine's and the app controller's), under ThreadSanitizer:
# the first report fails the test that made it.
test-tsan: build-tsan
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
		ctest --output-on-failure -j $(JOBS) -L threads

# The Windows program for handing out: a portable zip (the static .exe and
# its help) and a per-user installer (NSIS), in $(WINDOWS_BUILD)/dist.
windows: build-windows
	./scripts/package_windows.sh $(WINDOWS_BUILD)

# The Windows program's windows under wine and Xvfb, for the README.
screenshots-windows: build-windows
	./scripts/screenshots_windows.sh $(WINDOWS_BUILD)

# One wine program at a time: the tests share one wineserver and its virtual
# desktop.
test-windows: build-windows
	cd $(WINDOWS_BUILD) && ctest --output-on-failure -j 1

# A short bounded fuzzing run of the settings reader and the text codec;
# FUZZ_SECONDS=3600 make fuzz for a longer one.
fuzz: setup
	bash fuzz/run.sh

# Every C++ source in the project's style (.clang-format); `make format`
# applies it.
FORMAT_SOURCES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench fuzz -name '*.cpp' -o -name '*.h')

format-check: setup
	@echo "clang-format --dry-run -Werror over $(words $(FORMAT_SOURCES)) sources"
	@clang-format --dry-run -Werror $(FORMAT_SOURCES)

# Tests stay a quarter to a third of the code: at most 0.36 of its non-blank lines.
test-ratio:
	@scripts/test_ratio.sh --check

# Every planned break of scripts/mutation_check.sh still names code that is
# there (the breaks themselves take half an hour: run them by hand).
mutation-table:
	@scripts/mutation_check.sh --check

format:
	@clang-format -i $(FORMAT_SOURCES)

test: format-check test-ratio mutation-table test-plain test-asan test-tsan fuzz test-windows

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(WINDOWS_BUILD) build-fuzz
