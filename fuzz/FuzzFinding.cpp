#include "FuzzInput.h"

#include <cstdio>
#include <cstdlib>

void FuzzFinding(const char* what) {
    std::fprintf(stderr, "fuzz finding: %s\n", what);
    std::abort();
}
