// What every fuzz target checks with: an invariant that does not hold ends
// the run, so that the fuzzer keeps the input and the replay fails.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}
