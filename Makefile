# make run   -- install what is missing, build, start the program
# make test  -- install what is missing, build, run every test
# make bench -- build and run the benchmarks
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test bench clean

deps:
	@tools/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: configure
	cmake --build $(BUILD) -j $(JOBS) --target clothsim
	./$(BUILD)/app/clothsim

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DCLOTHSIM_BENCH=ON -DCLOTHSIM_TESTS=OFF
	cmake --build $(BUILD)-bench -j $(JOBS)
	$(BUILD)-bench/bench/cloth_bench

clean:
	rm -rf $(BUILD) $(BUILD)-bench
