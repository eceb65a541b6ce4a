#include "ofMath.h"

#include <cmath>
#include <cstdlib>
#include <ctime>

// One raw value of the generator in 0..32767, whatever RAND_MAX the runtime has.
static int rawRandom() {
    return std::rand() % 32768;
}

int ofNextPow2(int n) {
    int power = 1;
    while (power < n && power < (1 << 30)) {
        power *= 2;
    }
    return power;
}

void ofSeedRandom() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
}

void ofSeedRandom(int seed) {
    std::srand(static_cast<unsigned>(seed));
}

float ofRandom(float x, float y) {
    if (x == y) {
        return x;
    }
    float high = x > y ? x : y;
    float low = x > y ? y : x;
    float result = low + (high - low) * (rawRandom() / 32768.0f);
    // Rounding to float can land on the upper bound itself; keep the range half-open.
    return result < high ? result : std::nextafter(high, low);
}

float ofRandomf() {
    return 2.0f * (rawRandom() / 32768.0f) - 1.0f;
}

float ofRandomuf() {
    return rawRandom() / 32768.0f;
}
