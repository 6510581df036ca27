# make           installs what is missing, configures and builds into build/
# make run       builds the program and the simulator only, then starts them
# make test      builds everything, then runs every test
# make package   builds everything, then the Debian packages
#                build/dxu-cli_<version>_<arch>.deb and
#                build/dxu-interface_<version>_<arch>.deb
# make sanitize  builds into build-asan/ with AddressSanitizer and
#                UndefinedBehaviorSanitizer and runs every test there
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# Extra cmake -D options, e.g. CMAKE_OPTIONS=-DDXU_WERROR=ON
CMAKE_OPTIONS ?=
# Extra ctest options, e.g. CTEST_OPTIONS="-E clean-root"
CTEST_OPTIONS ?=

# Zero-filled fresh heap memory: a read past a buffer that was allocated too
# small then shows up instead of hiding behind ASan's default fill byte. A
# malloc too large for the machine returns null, as it does without the
# sanitizer (Qt asks for one on a corrupt typed value in the settings file and
# copes with the refusal); a failing operator new is still reported.
SANITIZE_ENV = ASAN_OPTIONS=malloc_fill_byte=0:detect_leaks=1:allocator_may_return_null=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: all deps configure build run test package sanitize clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@if [ ! -f $(BUILD)/CMakeCache.txt ] || [ -n "$(CMAKE_OPTIONS)" ]; then \
	  cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_OPTIONS); fi

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: configure
	cmake --build $(BUILD) -j $(JOBS) --target program-and-simulator
	@scripts/run.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300 $(CTEST_OPTIONS)

package: build
	cmake --build $(BUILD) --target package

sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDXU_SANITIZE=ON -DDXU_WERROR=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS) --timeout 600

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
