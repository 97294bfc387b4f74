#include "rds_charset.h"

namespace sdr {

namespace {

// 0x20..0xFF. The table differs from ASCII at 0x24 (currency sign), 0x5E
// (horizontal bar, shown as a dash), 0x60 (double vertical line) and 0x7E
// (overline); 0x8D is the German sharp s.
constexpr char Table[] =
    " !\"#\xA4%&'()*+,-./"
    "0123456789:;<=>?"
    "@ABCDEFGHIJKLMNO"
    "PQRSTUVWXYZ[\\]\x97_"
    "?abcdefghijklmno"
    "pqrstuvwxyz{|}\xAF "
    "\xE1\xE0\xE9\xE8\xED\xEC\xF3\xF2\xFA\xF9\xD1\xC7?\xDF\xA1?"
    "\xE2\xE4\xEA\xEB\xEE\xEF\xF4\xF6\xFB\xFC\xF1\xE7????"
    "\xAA?\xA9\x89?????\x80\xA3$????"
    "\xBA\xB9\xB2\xB3\xB1???\xB5\xBF\xF7\xB0\xBC\xBD\xBE\xA7"
    "\xC1\xC0\xC9\xC8\xCD\xCC\xD3\xD2\xDA\xD9??\x8A\x8E\xD0?"
    "\xC2\xC4\xCA\xCB\xCE\xCF\xD4\xD6\xDB\xDC??\x9A\x9E??"
    "\xC3\xC5\xC6\x8C?\xDD\xD5\xD8\xDE??????\xF0"
    "\xE3\xE5\xE6\x9C?\xFD\xF5\xF8\xFE?????? ";
static_assert(sizeof Table == 0xE0 + 1, "one entry for each code from 0x20");

} // namespace

char rds_character(uint8_t code)
{
    return code < 0x20 ? ' ' : Table[code - 0x20];
}

size_t rds_text(const uint8_t *codes, size_t count, char *out)
{
    for (size_t i = 0; i < count; ++i)
        out[i] = rds_character(codes[i]);
    out[count] = '\0';
    return count;
}

} // namespace sdr
