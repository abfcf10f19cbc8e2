# Thin wrapper over the scripts: make run, make test, make build.
.PHONY: all deps build run test clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@scripts/build.sh

run: deps
	@scripts/run.sh

test: build
	@scripts/test-all.sh

clean:
	rm -rf build
