# Thin wrapper over the scripts: make run, make test, make build, make bench.
.PHONY: all deps build run test bench clean

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

clean:
	rm -rf build
