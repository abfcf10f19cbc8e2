# Thin wrapper over the scripts: make run, make test, make build, make bench, make fuzz.
.PHONY: all deps build run test bench fuzz clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@scripts/build.sh

run: deps
	@scripts/run.sh

test: build
	@scripts/test-all.sh

bench: deps
	@scripts/build.sh native
	@python3 bench/run_bench.py build/native
	@python3 bench/serve_bench.py build/native

fuzz: deps
	@scripts/fuzz.sh $${FUZZ_SECONDS:-300}

clean:
	rm -rf build
