// The pseudo-random generator of the random-number instructions: the classic linear
// congruential rand/srand pair, one state for the whole process, seeded once at start-up.
#pragma once

#include <cstdint>

void SeedRandom(uint32_t seed);
// The generator's state: seeding with it goes on with the same sequence.
uint32_t GetRandomState();
// Next number 0 .. 32767.
int32_t NextRandom();
