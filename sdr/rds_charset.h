// The RDS basic character table (G0 of IEC 62106) in Windows-1252, the
// radio's code page. Control codes become spaces, so they never reach the
// text; characters that Windows-1252 lacks become '?'.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sdr {

char rds_character(uint8_t code);
// `count` codes to `out` (count + 1 bytes, NUL-terminated); returns count.
size_t rds_text(const uint8_t *codes, size_t count, char *out);

} // namespace sdr
