# SPDX-License-Identifier: BSD-2-Clause
# Front door: `make` builds build/tsvigil, `make test` runs every test under
# AddressSanitizer and UndefinedBehaviorSanitizer, `make tsan` under
# ThreadSanitizer, `make demo` checks a
# generated sample recording and shows the report in UTF-8, `make screenshot`
# renders its HTML page into doc/report.png, `make golden` rewrites the
# expected outputs of the golden corpus (tests/golden), `make install`
# installs the tool and its manual page (PREFIX, DESTDIR), `make deb` builds
# the Debian package build/tsvigil_VERSION_ARCH.deb, `make windows`
# cross-compiles build-win/tsvigil.exe and packs
# build-win/tsvigil-VERSION-win64.zip.

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX ?= /usr/local
BUILD := build
TEST_BUILD := build-test
TSAN_BUILD := build-tsan
WIN_BUILD := build-win

.PHONY: all tool test golden tsan demo screenshot bench bench-instructions fuzz install deb windows windows-test clean

all: tool

tool:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DTSVIGIL_TESTS=OFF >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

test:
	@cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTSVIGIL_SANITIZE=ON -DTSVIGIL_TESTS=ON >/dev/null
	@cmake --build $(TEST_BUILD) -j $(JOBS)
	@cd $(TEST_BUILD) && ctest --output-on-failure -j $(JOBS)

# The golden corpus's expected outputs, rewritten from the test build's tools
# when a change to the outputs is meant (the commit says why).
golden:
	@cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTSVIGIL_SANITIZE=ON -DTSVIGIL_TESTS=ON >/dev/null
	@cmake --build $(TEST_BUILD) -j $(JOBS) --target tsvigil tsvigil-mkts
	@python3 tests/golden/golden.py --update $(TEST_BUILD)/tsvigil $(TEST_BUILD)/tsvigil-mkts $(TEST_BUILD)/tests/golden

# The tests again under ThreadSanitizer: checks running side by side on
# threads, files checked at once (--jobs), and the reader thread of piped
# input must share nothing unguarded. Everything is built with it; the
# suites that run threads are run (the rest only repeat, ten times slower,
# what make test runs).
TSAN_TESTS ?= CCheckTest|CRingBufferTest|CStreamSourceTest|CVerdictLineTest|CProgressTest|RunnerTest
tsan:
	@cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTSVIGIL_TSAN=ON -DTSVIGIL_TESTS=ON >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS)
	@cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) -R '^($(TSAN_TESTS))[.]'

# The build's own output is kept in a log and shown only when it fails, so
# the demo shows nothing but the tool's report.
demo:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DTSVIGIL_TESTS=OFF >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) >$(BUILD)/build.log 2>&1 || { cat $(BUILD)/build.log; exit 1; }
	@$(BUILD)/tsvigil-mkts --demo $(BUILD)/demo.ts
	@echo "== tsvigil --utf8 --summary $(BUILD)/demo.ts"
	@$(BUILD)/tsvigil --utf8 --summary $(BUILD)/demo.ts

# doc/report.png: the demo recording's HTML page as Chromium renders it
# (apt-get install chromium fonts-noto-cjk).
CHROMIUM ?= chromium
screenshot: tool
	@$(BUILD)/tsvigil-mkts --demo $(BUILD)/demo.ts
	@$(BUILD)/tsvigil --verdict --html $(BUILD)/demo.html $(BUILD)/demo.ts >/dev/null 2>&1 || [ $$? -eq 3 ]
	@profile=$$(mktemp -d) && $(CHROMIUM) --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
		--disable-background-networking --disable-component-update --disable-sync --user-data-dir=$$profile \
		--hide-scrollbars --screenshot=$(CURDIR)/$(BUILD)/demo.png --window-size=1200,1600 \
		file://$(CURDIR)/$(BUILD)/demo.html >/dev/null 2>&1; rc=$$?; rm -rf $$profile; exit $$rc
	@cp $(BUILD)/demo.png doc/report.png
	@echo "$(BUILD)/demo.png, copied to doc/report.png"

# Installs the tool, its manual page, the licence and the README under
# $(DESTDIR)$(PREFIX).
install: tool
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# The Debian package, from the same install rules, installed under /usr and
# stripped (needs dpkg-dev for the library dependencies).
deb: tool
	@command -v dpkg-shlibdeps >/dev/null || { echo "make deb needs dpkg-shlibdeps: apt-get install dpkg-dev" >&2; exit 1; }
	@cd $(BUILD) && cpack -G DEB

# The Windows program, cross-compiled with mingw-w64 (apt-get install
# g++-mingw-w64-x86-64-posix) into $(WIN_BUILD)/, statically linked, and its
# zip: the program, the generator, the documents and the manual as text.
windows:
	@cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release -DTSVIGIL_TESTS=OFF >/dev/null
	@cmake --build $(WIN_BUILD) -j $(JOBS)
	@echo "$(WIN_BUILD)/tsvigil.exe, $(WIN_BUILD)/tsvigil-$$(sed -n 's/^project(tsvigil VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)-win64.zip"

# The Windows program's tests under Wine (apt-get install wine): the suites
# that need no POSIX facility, the golden corpus, the invariants and
# tests/windows/wine_test.sh, which compares with the Linux build's outputs.
# Left out there: a conversion test that takes over a minute under Wine, and
# a test that looks for Windows paths unescaped in JSON, and the count of
# allocations (it counts the whole process's, and mingw's runtime sometimes
# allocates once more on its own under Wine). A test that fails
# runs once more: Wine on a busy machine now and then hangs a program at
# its start, which says nothing of the program.
WINE_SKIP ?= SjisToUtf8Test.ConvertsAndNeverStopsEarly|JsonReportTest.DemoRecordingValues|CheckerAllocationTest.PacketPathAllocatesNothing
windows-test: tool
	@cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release -DTSVIGIL_TESTS=ON \
		-DTSVIGIL_HOST_TOOL=$(CURDIR)/$(BUILD)/tsvigil >/dev/null
	@cmake --build $(WIN_BUILD) -j $(JOBS)
	@cd $(WIN_BUILD) && ctest --output-on-failure -j $(JOBS) --repeat until-pass:2 -E '^($(WINE_SKIP))$$'

# Speed and memory against `cat` and against the floor (../shared/bench/readcc.c,
# when that folder is beside the project) on 1 GiB and 4 GiB generated
# recordings (cached under build/bench; about 6 GiB of disk), and the
# instruction gate: fails when instructions per packet under callgrind are
# more than 5% over tools/bench-baseline.txt.
bench: tool
	@tools/bench.sh $(BUILD)

# The instruction gate alone (it generates the 1 GiB recording when missing).
bench-instructions: tool
	@tools/bench.sh --instructions $(BUILD)

# libFuzzer targets built with clang in build-fuzz/, each run for
# FUZZ_SECONDS seconds (default 60), one after another.
fuzz:
	@FUZZ_SECONDS="$(FUZZ_SECONDS)" sh fuzz/run.sh

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(TSAN_BUILD) $(WIN_BUILD)
