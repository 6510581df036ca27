#!/bin/sh
# Builds every fuzz target of targets.def with clang (libFuzzer, ASan, UBSan)
# into build-fuzz/ (or the folder given) as fuzz_<name>. Run one, e.g.
#   build-fuzz/fuzz/fuzz_slots -max_total_time=120 fuzz/corpus/slots
# New inputs it finds go into that corpus folder; keep the ones worth keeping
# (a crash found is written to crash-<hash> in the current folder: fix it and
# add the input to the corpus, so that the tests replay it from then on).
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${1:-$root/build-fuzz}
CC=${CC:-clang} CXX=${CXX:-clang++} cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDXU_FUZZ=ON
cmake --build "$out" -j "$(nproc 2>/dev/null || echo 2)" --target fuzzers
echo "built: $(ls "$out"/fuzz/fuzz_* | tr '\n' ' ')"
