#pragma once

// The shape of a UTF-8 sequence as its first byte gives it.
struct Utf8Lead {
    int length = 0;             // 1 for ASCII, 2 to 4 for a multi-byte sequence, 0 for a byte that starts none
    unsigned char low = 0x80;   // the range the second byte must fall in: no overlong forms, no
    unsigned char high = 0xBF;  // surrogates, nothing above U+10FFFF
};

// Returns the sequence a byte starts.
constexpr Utf8Lead Utf8LeadOf(unsigned char lead) {
    Utf8Lead shape;
    if (lead < 0x80) {
        shape.length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        shape.length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        shape.length = 3;
        if (lead == 0xE0) shape.low = 0xA0;
        if (lead == 0xED) shape.high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        shape.length = 4;
        if (lead == 0xF0) shape.low = 0x90;
        if (lead == 0xF4) shape.high = 0x8F;
    }
    return shape;
}
