// Character case in the ANSI code page (Windows-1252 layout): ASCII letters, the
// Latin-1 letters 0xC0-0xDE and 0xE0-0xFE (except the multiplication and
// division signs), and the four letters that code page 1252 adds in 0x80-0x9F.
#include <cstdint>

#include "platform/platform.h"

namespace kx::os {
namespace {

unsigned char LowerByte(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    switch (c) {
    case 0x8A: return 0x9A;  // S with caron
    case 0x8C: return 0x9C;  // OE ligature
    case 0x8E: return 0x9E;  // Z with caron
    case 0x9F: return 0xFF;  // Y with diaeresis
    default: return c;
    }
}

unsigned char UpperByte(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
    }
}

}  // namespace

char *CharLowerA(char *text) {
    for (char *p = text; *p != '\0'; ++p)
        *p = static_cast<char>(LowerByte(static_cast<unsigned char>(*p)));
    return text;
}

char *CharUpperA(char *text) {
    for (char *p = text; *p != '\0'; ++p)
        *p = static_cast<char>(UpperByte(static_cast<unsigned char>(*p)));
    return text;
}

int lstrcmpiA(const char *a, const char *b) {
    const auto *x = reinterpret_cast<const unsigned char *>(a);
    const auto *y = reinterpret_cast<const unsigned char *>(b);
    for (;; ++x, ++y) {
        int cx = LowerByte(*x), cy = LowerByte(*y);
        if (cx != cy) return cx < cy ? -1 : 1;
        if (cx == 0) return 0;
    }
}

}  // namespace kx::os
