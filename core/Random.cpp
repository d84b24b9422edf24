#include "core/Random.h"

namespace {
uint32_t state = 1;
}

void SeedRandom(uint32_t seed) {
    state = seed;
}

uint32_t GetRandomState() {
    return state;
}

int32_t NextRandom() {
    state = state * 214013u + 2531011u;
    return static_cast<int32_t>((state >> 16) & 0x7FFF);
}
