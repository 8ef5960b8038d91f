#include "moderator/move_number.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

struct NumberCase {
    std::string_view text;
    std::int32_t expected;
};

// Texts as a player's output reaches the board; std::string_view keeps embedded zero bytes.
const NumberCase kNumberCases[] = {
    {"4", 4},
    {" 4", 4},
    {"4\r\n", 4},
    {"47", 47},
    {"4 7", 4},
    {"12", 12},
    {"007", 7},
    {"-3", -3},
    {"+5", 5},
    {"\t\n\v\f\r 6", 6},
    {"", 0},
    {"a", 0},
    {"p", 0},
    {"P4", 0},
    {"?4", 0},
    {"\r\n", 0},
    {"-", 0},
    {"- 3", 0},
    {"+-3", 0},
    {"--3", 0},
    {"0x10", 0},
    {"0", 0},
    {"-0", 0},
    {std::string_view("\0005", 2), 0},  // a zero byte, then 5
    {std::string_view("5\0005", 3), 5},
    {"\2405", 0},     // a no-break space is no white space in the C locale
    {"\xD9\xA3", 0},  // a non-ASCII digit
    {"2147483647", kMax},
    {"-2147483648", kMin},
    {"2147483648", kMax},  // one past the top: saturates instead of wrapping
    {"-2147483649", kMin},
    {"4294967297", kMax},  // 2^32 + 1 must not wrap around to 1
    {"-4294967295", kMin},
    {"99999999999999999999999999999999", kMax},
    {"-99999999999999999999999999999999", kMin},
    {"   000000000000000000000000000000000000000042", 42},
};

TEST(ReadMoveNumber, ReadsTheLeadingIntegerLikeAtoi) {
    for (const NumberCase& c : kNumberCases) {
        EXPECT_EQ(ReadMoveNumber(c.text), c.expected)
            << "text \"" << std::string(c.text) << "\" (" << c.text.size() << " bytes)";
    }
}

// Only the bytes of the view count: a digit just past its end is not read.
TEST(ReadMoveNumber, StopsAtTheEndOfTheView) {
    const std::string text = "1234";
    EXPECT_EQ(ReadMoveNumber(std::string_view(text).substr(0, 1)), 1);
    EXPECT_EQ(ReadMoveNumber(std::string_view(text).substr(0, 0)), 0);
    EXPECT_EQ(ReadMoveNumber(std::string_view(" -").substr(0, 1)), 0);
}

}  // namespace
