#!/bin/sh
# Builds the reply-parser fuzzer with clang (libFuzzer, ASan, UBSan) into
# build-fuzz/ (or the folder given). Run it, for example, with
#   build-fuzz/parser_fuzz -max_total_time=600 -jobs=1 fuzz/corpus
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${1:-$root/build-fuzz}
mkdir -p "$out"
${CXX:-clang++} -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root/src" -I"$here" $(pkg-config --cflags Qt6Widgets) \
    "$here/parser_fuzz.cpp" "$here/parser_entry.cpp" \
    "$root/src/protocol/protocol.cpp" "$root/src/protocol/replyparser.cpp" \
    "$root/src/protocol/deviceerrors.cpp" "$root/src/protocol/linetext.cpp" \
    "$root/src/protocol/commandqueue.cpp" "$root/src/settings/unitrecord.cpp" \
    "$root/src/services/clock.cpp" "$root/src/services/messages.cpp" "$root/src/services/locale.cpp" \
    $(pkg-config --libs Qt6Widgets) -o "$out/parser_fuzz"
echo "built $out/parser_fuzz"
