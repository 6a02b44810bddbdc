# The two commands a new user needs: `make run` and `make test`.
# Each installs what is missing, configures, builds and assembles build/disk/.
BUILD := build
JOBS  := 2

.PHONY: all deps configure build run test bench clean

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
# debug info, no demo music: the sanitizers are what that run is for).
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O1 \
	    -DCMAKE_C_FLAGS_DEBUG=-O1 -DDISKPLAYER_SANITIZE=address,undefined \
	    -DDISKPLAYER_MUSIC=OFF -DDISKPLAYER_BENCH=OFF >/dev/null
	@cmake --build $(BUILD)-asan -j $(JOBS)
	cd $(BUILD)-asan && ASAN_OPTIONS=detect_leaks=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ctest --output-on-failure -j $(JOBS)

bench: deps
	@cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD)-bench -j $(JOBS)
	@./scripts/run-bench $(BUILD)-bench

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-asan
