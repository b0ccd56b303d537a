// The letters outside ASCII that the texts hold, as code page 850 bytes.
#pragma once

// Accented letters, as code page 850 bytes.
inline constexpr char fatono = '\x85';    // à
inline constexpr char cf1 = '\x87';       // ç
inline constexpr char circonf = '\x88';   // ê
inline constexpr char egrave = '\x8A';    // è
inline constexpr char icirconf = '\x8C';  // î
inline constexpr char atono = '\xA0';     // á
inline constexpr char etono = '\x82';     // é
inline constexpr char itono = '\xA1';     // í
inline constexpr char otono = '\xA2';     // ó
inline constexpr char utono = '\xA3';     // ú
inline constexpr char futono = '\x97';    // ù
inline constexpr char tilde = '\xA4';     // ñ
inline constexpr char inter = '\xA8';     // ¿
// Letters and signs of the summary page alone.
inline constexpr char etono_cap = '\x90';  // É
inline constexpr char times = '\x9E';      // ×
inline constexpr char squared = '\xFD';    // ²

// Box-drawing characters of the banner, code page 850.
namespace box {
inline constexpr char p1 = '\xC9';  // ╔
inline constexpr char p2 = '\xBB';  // ╗
inline constexpr char p3 = '\xBC';  // ╝
inline constexpr char p4 = '\xC8';  // ╚
inline constexpr char v = '\xBA';   // ║
inline constexpr char h = '\xCD';   // ═
}  // namespace box
