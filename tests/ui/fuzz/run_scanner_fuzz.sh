#!/usr/bin/env bash
# run_scanner_fuzz.sh OUT_DIR SECONDS: builds the screen-scanner fuzz target
# with clang's libFuzzer (whatever compiler builds the tree) and runs it for
# a bounded time from the shipped screen file; a crash fails the test.
set -euo pipefail
src=${DASHREC_SOURCE_DIR:?}
out=$1
seconds=$2
here=$src/tests/ui/fuzz
mkdir -p "$out/corpus"
read -r -a sdl_flags <<< "$(pkg-config --cflags sdl)"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$src" "${sdl_flags[@]}" \
    "$here/scanner_fuzz.cpp" "$src/dashrec/ui/ScreenScanner.cpp" "$src/dashrec/ui/UIObjectBuild.cpp" \
    -o "$out/scanner_fuzz"
cp "$src/rsc/_menu.xml" "$out/corpus/menu.xml"
cd "$out"
exec ./scanner_fuzz -max_total_time="$seconds" -max_len=4096 -dict="$here/screen.dict" \
    -artifact_prefix="$out/" -print_final_stats=1 corpus
