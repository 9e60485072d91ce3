# Thin wrapper: `make run` builds a release editor and starts it on the
# default project; `make test` builds with sanitizers and runs every test,
# then runs the thread tests (session, playback, link) once more under
# ThreadSanitizer, in a build of their own.
BUILD_DIR      ?= build
TEST_BUILD_DIR ?= build-test
TSAN_BUILD_DIR ?= build-tsan
JOBS           ?= $(shell nproc)

# The ThreadSanitizer build makes only the programs of the thread tests, and
# runs only these tests of them: the session, playback and link suites of
# the core tests, the session end-to-end tests, the link library's tests and
# the end-to-end tests of the board link.
TSAN_TARGETS := kv_core_tests session_e2e_tests tavlink_tests e2e_board_link_tests
TSAN_TESTS   := ^(session_e2e|tavlink|e2e)\.|^(LinkReadTag|LinkHoldTest|Memory[A-Za-z]*|Online[A-Za-z]*|Playback[A-Za-z]*|StatusView|Pacing)\.
TSAN_OPTIONS := suppressions=$(CURDIR)/tests/tsan.supp second_deadlock_stack=1

.PHONY: run test deps build build-test build-tsan clean

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKV_BUILD_TESTS=OFF
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	scripts/run-editor.sh $(BUILD_DIR)

build-test: deps
	cmake -S . -B $(TEST_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=ON
	cmake --build $(TEST_BUILD_DIR) -j $(JOBS)

build-tsan: deps
	cmake -S . -B $(TSAN_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=thread -DKV_BUILD_BENCH=OFF
	cmake --build $(TSAN_BUILD_DIR) -j $(JOBS) --target $(TSAN_TARGETS)

test: build-test build-tsan
	cd $(TEST_BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	cd $(TSAN_BUILD_DIR) && TSAN_OPTIONS="$(TSAN_OPTIONS)" ctest --output-on-failure --no-tests=error -j $(JOBS) -R '$(TSAN_TESTS)'

clean:
	rm -rf $(BUILD_DIR) $(TEST_BUILD_DIR) $(TSAN_BUILD_DIR)
