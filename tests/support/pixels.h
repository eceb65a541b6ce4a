#pragma once

#include <ostream>

// One pixel colour as read back from a window, 0..255 per channel.
struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& other) const { return r == other.r && g == other.g && b == other.b; }
    bool operator!=(const Rgb& other) const { return !(*this == other); }
};

inline std::ostream& operator<<(std::ostream& out, const Rgb& colour) {
    return out << "(" << colour.r << ", " << colour.g << ", " << colour.b << ")";
}

// An axis-aligned box of window pixels, top-left origin, edges inclusive.
struct PixelBox {
    int left, top, right, bottom;
};
