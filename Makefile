# The two commands: `make run` and `make test`. Both install what is missing
# (Debian 12, as root), then build.
.PHONY: all deps native win64 win32 build test run bench dist clean

all: build

deps:
	@bash scripts/install-deps.sh

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native

win64: deps
	cmake --preset win64 >/dev/null
	cmake --build --preset win64

# The 32-bit program for Windows XP and later; the 64-bit build's tests run it.
win32: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32

build: native win64 win32

test: build
	bash scripts/run-tests.sh

run: win64
	bash scripts/run.sh

bench: build
	bash bench/run.sh

# dist/tidewell-<version>-win64.zip and -win32.zip (tidewell.exe, RC409.dll, a read-me) and
# the installer dist/tidewell-<version>-x64.msi; -x86.msi too when the 32-bit
# program is built.
dist: win64 win32
	bash scripts/dist.sh

clean:
	rm -rf build dist
