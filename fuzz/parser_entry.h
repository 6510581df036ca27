#pragma once
// One input for the reply-parser fuzzer, shared by the libFuzzer target and
// the corpus replay test. The first four bytes choose the program state (mode,
// link, capture, queue), the rest is what the unit sent.
#include <cstddef>
#include <cstdint>

namespace dxu::fuzz {

// Runs the parser and the field reader over the input; aborts when an
// invariant is broken. Always returns 0.
int runParserInput(const uint8_t* data, std::size_t size);

} // namespace dxu::fuzz
