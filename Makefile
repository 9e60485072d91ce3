# Thin wrapper: `make run` builds a release editor and starts it on the
# default project; `make test` builds with sanitizers and runs every test.
BUILD_DIR      ?= build
TEST_BUILD_DIR ?= build-test
JOBS           ?= $(shell nproc)

.PHONY: run test deps build build-test clean

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

test: build-test
	cd $(TEST_BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR) $(TEST_BUILD_DIR)
