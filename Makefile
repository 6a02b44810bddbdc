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

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: deps
	@cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD)-bench -j $(JOBS)
	@./scripts/run-bench $(BUILD)-bench

clean:
	rm -rf $(BUILD) $(BUILD)-bench
