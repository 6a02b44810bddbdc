# The two commands a new user needs: `make run` and `make test`.
# Each installs what is missing, configures, builds and assembles build/disk/.
BUILD := build
JOBS  := 2

.PHONY: all deps configure build run test bench fuzz fuzz-build check-threads dist check-dist clean
.PHONY: web check-web check-pulse
FUZZ_SECONDS := 60
FUZZ_TARGETS :=

all: build

deps:
	@./scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD)/disk && ./diskplayer

# The unit and end-to-end tests, then the same again built with
# AddressSanitizer and UndefinedBehaviorSanitizer (lightly optimised, no
# debug info, no demo music: the sanitizers are what that run is for). The
# sanitizer's shadow memory and quarantine count as resident memory, so the
# memory checks of the end-to-end scripts get room for them.
test: build fuzz-build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O1 \
	    -DCMAKE_C_FLAGS_DEBUG=-O1 -DDISKPLAYER_SANITIZE=address,undefined \
	    -DDISKPLAYER_MUSIC=OFF -DDISKPLAYER_BENCH=OFF >/dev/null
	@cmake --build $(BUILD)-asan -j $(JOBS)
	cd $(BUILD)-asan && ASAN_OPTIONS=detect_leaks=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	    BAD_INPUT_RSS_LIMIT_KB=400000 STORM_RSS_SLACK_KB=200000 ctest --output-on-failure -j $(JOBS)

# Two tracks through a real PulseAudio server with every processor busy,
# twenty times, each recording byte for byte. Not in CI: about seven minutes.
check-pulse: build
	@./scripts/install-deps --pulse
	./scripts/check-pulse $(BUILD)/disk

# The libFuzzer targets (clang); make test runs each briefly over its seeds.
# make fuzz runs them side by side, FUZZ_SECONDS each (FUZZ_TARGETS to pick;
# FUZZ_KEEP_GOING=1 goes on past a fault, for a long campaign).
fuzz-build: deps
	@cmake -S fuzz -B $(BUILD)/fuzz -DCMAKE_C_COMPILER=clang-14 \
	    -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
	@cmake --build $(BUILD)/fuzz -j $(JOBS)

fuzz: fuzz-build
	./scripts/fuzz --no-build --build-dir $(BUILD)/fuzz --parallel $(if $(FUZZ_KEEP_GOING),--keep-going) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# The input storm and the quit cycles with ThreadSanitizer.
check-threads: deps
	@cmake -S . -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DDISKPLAYER_SANITIZE=thread -DDISKPLAYER_MUSIC=OFF -DDISKPLAYER_BENCH=OFF >/dev/null
	@cmake --build $(BUILD)-tsan -j $(JOBS) --target disk send_close
	TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp halt_on_error=1" \
	    DISKPLAYER_PROGRAM=$(CURDIR)/$(BUILD)-tsan/disk/diskplayer STORM_RSS_SLACK_KB=200000 \
	    sh tests/e2e/storm.sh $(BUILD)-tsan/disk $(BUILD)-tsan
	TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp halt_on_error=1" \
	    DISKPLAYER_PROGRAM=$(CURDIR)/$(BUILD)-tsan/disk/diskplayer \
	    sh tests/e2e/quit_cycles.sh $(BUILD)-tsan/disk $(BUILD)-tsan

# The disk as one archive for listeners: build/dist/<disk>-<version>-linux-x86_64.tar.gz.
dist: configure
	@cmake --build $(BUILD) -j $(JOBS) --target dist

# Unpacks that archive into a bare Debian 12 and plays it there, headless and
# in a window (as root: it builds the system with debootstrap and chroot).
check-dist: dist
	@./scripts/install-deps --dist
	./scripts/check-dist $(BUILD)

# The disk as a web page: $(BUILD)/web/, a folder of static files any web
# server serves as it is, and $(BUILD)/dist/vellumbra-<version>-web.zip.
# The libraries are compiled once, into $(BUILD)/web-deps/.
web:
	@./scripts/install-deps --web
	./scripts/build-web $(BUILD)

# The page served on 127.0.0.1 and driven in headless chromium: pictures
# and sound against the Linux build's, the controls, the keys, the console.
check-web: web
	./scripts/check-web $(BUILD)

# The page's figures stand beside the program's: bench builds it too.
bench: deps web
	@cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD)-bench -j $(JOBS)
	@WEB_BUILD=$(BUILD) ./scripts/run-bench $(BUILD)-bench

# --- Windows port -----------------------------------------------------------
# The disk for Windows: build/dist/<disk>-<version>-windows-x86_64.zip, the
# same core cross-built with mingw-w64 against SDL 1.2, libogg, libvorbis,
# dlib and LodePNG built from Debian's sources once into $(BUILD)/windows-deps.
# Data, resource table and music come from the Linux tree's disk.
.PHONY: windows check-windows
windows: configure
	@./scripts/install-deps --windows
	@cmake --build $(BUILD) -j $(JOBS) --target disk
	@JOBS=$(JOBS) ./scripts/build-windows-deps $(BUILD)/windows-deps
	@cmake -S . -B $(BUILD)/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DDISKPLAYER_WINDOWS_DEPS=$(CURDIR)/$(BUILD)/windows-deps/prefix \
	    -DDISKPLAYER_HOST_BUILD=$(CURDIR)/$(BUILD) >/dev/null
	@cmake --build $(BUILD)/windows -j $(JOBS)

# Unpacks that zip and plays it under Wine on an Xvfb screen: window, keys,
# exact sound, damaged tracks, frames and printed lines against the Linux
# program's.
check-windows: windows
	@cmake --build $(BUILD) -j $(JOBS) --target capture
	./scripts/check-windows $(BUILD)
# --- end of the Windows port -----------------------------------------------

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-asan $(BUILD)-tsan
