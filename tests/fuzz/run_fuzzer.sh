#!/usr/bin/env bash
# Builds one libFuzzer target with clang (address and undefined-behaviour
# sanitizers) and runs it for a few seconds. Usage:
#   run_fuzzer.sh <clang++> <target.cpp> <seconds> <work folder> <include dirs, ':'-separated> <sources...>
set -euo pipefail
compiler="$1" target="$2" seconds="$3" work="$4"
IFS=: read -r -a includes <<< "$5"
shift 5
include_flags=()
for dir in "${includes[@]}"; do include_flags+=(-I "$dir"); done
name="$(basename "$target" .cpp)"
mkdir -p "$work/$name-corpus"
"$compiler" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "${include_flags[@]}" "$target" "$@" -o "$work/$name"
exec "$work/$name" -max_total_time="$seconds" -print_final_stats=1 "$work/$name-corpus"
