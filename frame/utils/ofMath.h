#pragma once

// Powers of two
int ofNextPow2(int n);                  // smallest power of two >= n; 1 for n <= 1

// Random numbers (the runtime library's generator, raw values 0..32767)
void ofSeedRandom();                    // seeds from the calendar time in seconds
void ofSeedRandom(int seed);
float ofRandom(float x, float y);       // in [low, high); x when both bounds are equal
float ofRandomf();                      // in [-1, 1)
float ofRandomuf();                     // in [0, 1)
