# Top-level commands over the CMake presets. `make demo` builds the tool and shows it at work;
# `make check` builds and runs every test (default and sanitizer builds) and smoke-runs the fuzzers.
.PHONY: deps demo docs check test asan fuzz bench clean

FUZZ_SECONDS ?= 10

deps:
	@bash scripts/deps.sh

demo: deps
	cmake --preset default >/dev/null
	cmake --build --preset default --target nyx_tool example_make_design nyxvc
	bash scripts/demo.sh build/default

# Reference documentation from the public headers: build/default/docs/html/index.html.
docs: deps
	cmake --preset default >/dev/null
	cmake --build --preset default --target docs
	@echo "reference: build/default/docs/html/index.html"

test: deps
	cmake --preset default
	cmake --build --preset default
	ctest --preset default

asan: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	bash scripts/fuzz-smoke.sh build/fuzz $(FUZZ_SECONDS)

check: test asan fuzz

bench: deps
	cmake --preset default
	cmake --build --preset default
	bash scripts/bench.sh build/default

clean:
	rm -rf build
