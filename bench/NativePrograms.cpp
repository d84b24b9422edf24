#include "bench/NativePrograms.h"

#include <cstring>
#include <vector>

namespace bench {

uint32_t NativeLoop(const SProgramParameters& parameters) {
    // volatile keeps the compiler from replacing the loop by its closed form.
    volatile uint32_t rounds = parameters.first;
    uint32_t sum = 0;
    for (uint32_t i = 0; i < rounds; ++i)
        sum += i;
    return sum;
}

uint32_t NativeSieve(const SProgramParameters& parameters) {
    const uint32_t size = parameters.first;
    std::vector<uint8_t> flags(size, 0);
    for (uint32_t i = 2; uint64_t{i} * i < size; ++i) {
        if (flags[i])
            continue;
        for (uint32_t j = i * i; j < size; j += i)
            flags[j] = 1;
    }
    uint32_t primes = 0;
    for (uint32_t i = 2; i < size; ++i)
        primes += flags[i] == 0 ? 1 : 0;
    return primes;
}

uint32_t NativeMandelbrot(const SProgramParameters& parameters) {
    const uint32_t width = parameters.first;
    const uint32_t height = parameters.second;
    const uint32_t limit = parameters.third;
    const double dx = 3.0 / static_cast<double>(width);
    const double dy = 3.0 / static_cast<double>(height);
    uint32_t total = 0;
    for (uint32_t row = 0; row < height; ++row) {
        const double ci = static_cast<double>(row) * dy + -1.5;
        for (uint32_t column = 0; column < width; ++column) {
            const double cr = static_cast<double>(column) * dx + -2.0;
            double zr = 0.0;
            double zi = 0.0;
            uint32_t iterations = 0;
            // The machine program tests before each iteration and counts up to the limit
            // (at least one round, as its loop is written).
            do {
                const double zr2 = zr * zr;
                const double zi2 = zi * zi;
                if (zr2 + zi2 > 4.0)
                    break;
                const double t = zr * zi;
                zi = (t + t) + ci;
                zr = (zr2 - zi2) + cr;
                ++iterations;
            } while (iterations < limit);
            total += iterations;
        }
    }
    return total;
}

uint32_t NativeBlocks(const SProgramParameters& parameters) {
    // The machine's buffers and stack, at the same distances from each other.
    constexpr size_t kBufferA = 0x000;
    constexpr size_t kBufferB = 0x400;
    constexpr size_t kBufferC = 0x800;
    constexpr size_t kStack = 0x1000;
    std::vector<uint8_t> memory(0x1400, 0);
    uint8_t* m = memory.data();
    static const char kText[] = "0123456789abcdef";
    uint32_t checksum = 0;
    for (uint32_t round = 0; round < parameters.first; ++round) {
        for (size_t i = 0; i < 64; ++i)
            std::memcpy(m + kBufferA + i * 4, &round, 4);
        std::memmove(m + kBufferB, m + kBufferA, 256);
        std::memcpy(m + kStack, m + kBufferB + 4, 32);
        std::memcpy(m + kStack + 32, kText, 16);
        std::memcpy(m + kBufferC, m + kStack, 48);
        std::memset(m + kBufferC + 48, static_cast<uint8_t>(round), 16);
        std::memmove(m + kBufferC + 2, m + kBufferC, 64);
        uint32_t word;
        std::memcpy(&word, m + kBufferC + 40, 4);
        checksum += word;
        std::memcpy(&word, m + kBufferC + 62, 4);
        checksum += word;
    }
    return checksum;
}

namespace {

// Frames in memory as the machine program keeps them: n and fib(n - 1).
struct SFrame {
    uint32_t n;
    uint32_t first;
};

[[gnu::noinline]] uint32_t Fibonacci(uint32_t n, SFrame* frame) {
    if (n < 2)
        return n;
    SFrame* own = frame + 1;
    own->n = n;
    own->first = Fibonacci(n - 1, own);
    return own->first + Fibonacci(own->n - 2, own);
}

} // namespace

uint32_t NativeCalls(const SProgramParameters& parameters) {
    std::vector<SFrame> frames(parameters.first + 2);
    return Fibonacci(parameters.first, frames.data());
}

} // namespace bench
