#pragma once

#include <cstdint>
#include <string_view>

// The move number at the start of a player's move text, read the way the C library's atoi reads
// it: leading white space skipped (space, \t, \n, \v, \f, \r), an optional sign, then decimal
// digits up to the first other character; 0 when no digit follows. A number beyond the range of
// std::int32_t gives INT32_MAX or INT32_MIN (atoi's behaviour there is undefined), so any such text
// still reads as an illegal move. Reading stops at a zero byte like at any other non-digit.
// Pure function; any thread.
std::int32_t ReadMoveNumber(std::string_view text);
