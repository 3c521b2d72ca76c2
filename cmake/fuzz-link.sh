#!/bin/sh
# fuzz-link.sh CLANGXX COMPILER ARGS...: links a fuzz target with clang's
# driver in place of the build's compiler, so that libFuzzer's main and
# clang's sanitizer runtimes come in with it.
clangxx=$1
shift 2
exec "$clangxx" -fsanitize=fuzzer,address,undefined "$@"
