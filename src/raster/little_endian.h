// Bitmap header fields, packed and unpacked little-endian at their offsets whatever the
// byte order of the host.
#pragma once

#include <cstdint>

inline void put16(unsigned char* b, int off, std::uint32_t v) {
    b[off] = static_cast<unsigned char>(v & 0xFF);
    b[off + 1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}
inline void put32(unsigned char* b, int off, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) b[off + k] = static_cast<unsigned char>((v >> (8 * k)) & 0xFF);
}
inline std::uint32_t get16(const unsigned char* b, int off) {
    return static_cast<std::uint32_t>(b[off]) | (static_cast<std::uint32_t>(b[off + 1]) << 8);
}
inline std::uint32_t get32(const unsigned char* b, int off) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = (v << 8) | b[off + k];
    return v;
}
