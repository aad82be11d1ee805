# Front door: `make` builds build/tsvigil, `make test` runs every test under
# AddressSanitizer and UndefinedBehaviorSanitizer, `make demo` checks a
# generated sample recording and shows the report in UTF-8.

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD := build
TEST_BUILD := build-test

.PHONY: all tool test demo bench fuzz clean

all: tool

tool:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DTSVIGIL_TESTS=OFF >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

test:
	@cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTSVIGIL_SANITIZE=ON -DTSVIGIL_TESTS=ON >/dev/null
	@cmake --build $(TEST_BUILD) -j $(JOBS)
	@cd $(TEST_BUILD) && ctest --output-on-failure -j $(JOBS)

demo: tool
	@$(BUILD)/tsvigil-mkts --demo $(BUILD)/demo.ts
	@echo "== tsvigil $(BUILD)/demo.ts | iconv -c -f CP932 -t UTF-8"
	@$(BUILD)/tsvigil $(BUILD)/demo.ts | iconv -c -f CP932 -t UTF-8

# Speed and memory against `cat` on 1 GiB and 4 GiB generated recordings
# (cached under build/bench; about 6 GiB of disk).
bench: tool
	@tools/bench.sh $(BUILD)

# libFuzzer targets built with clang in build-fuzz/, each run for
# FUZZ_SECONDS seconds (default 60), one after another.
fuzz:
	@FUZZ_SECONDS="$(FUZZ_SECONDS)" sh fuzz/run.sh

clean:
	rm -rf $(BUILD) $(TEST_BUILD)
