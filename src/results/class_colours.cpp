// The colours of class codes for maps without a colour table of their own.
#include "results/class_colours.h"

#include <cmath>

Rgba class_colour(int v) {
    static const short kFirst[][3] = {
        {0, 0, 0},       {31, 119, 180},  {255, 127, 14},  {44, 160, 44},   {214, 39, 40},
        {148, 103, 189}, {140, 86, 75},   {227, 119, 194}, {127, 127, 127}, {188, 189, 34},
        {23, 190, 207},  {174, 199, 232}, {255, 187, 120}, {152, 223, 138}, {255, 152, 150},
        {197, 176, 213}, {196, 156, 148}, {247, 182, 210}, {219, 219, 141}, {158, 218, 229}};
    const int n = static_cast<int>(sizeof kFirst / sizeof kFirst[0]);
    if (v < n)
        return {static_cast<std::uint8_t>(kFirst[v][0]), static_cast<std::uint8_t>(kFirst[v][1]),
                static_cast<std::uint8_t>(kFirst[v][2]), 255};
    const double h = std::fmod(v * 137.508, 360.0) / 60.0;
    const double s = v % 2 ? 0.65 : 0.9;
    const double l = 0.35 + 0.3 * ((v / 2) % 3) / 2.0;
    const double c = (1 - std::fabs(2 * l - 1)) * s;
    const double x = c * (1 - std::fabs(std::fmod(h, 2.0) - 1));
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(h)) {
        case 0:
            r = c, g = x;
            break;
        case 1:
            r = x, g = c;
            break;
        case 2:
            g = c, b = x;
            break;
        case 3:
            g = x, b = c;
            break;
        case 4:
            r = x, b = c;
            break;
        default:
            r = c, b = x;
            break;
    }
    const double m = l - c / 2;
    auto to8 = [&](double u) { return static_cast<std::uint8_t>(std::lround((u + m) * 255)); };
    return {to8(r), to8(g), to8(b), 255};
}

std::vector<std::array<short, 4>> class_colours() {
    std::vector<std::array<short, 4>> table;
    for (int v = 0; v < 255; ++v) {
        const Rgba c = class_colour(v);
        table.push_back({c.r, c.g, c.b, c.a});
    }
    return table;
}
