#include "sandbox/bot_limits.h"

#include <charconv>

std::optional<std::uint64_t> BotLimits::ParseSize(std::string_view text) {
    std::uint64_t scale = 1;
    if (!text.empty()) {
        switch (text.back()) {
            case 'K':
                scale = std::uint64_t{1} << 10;
                break;
            case 'M':
                scale = std::uint64_t{1} << 20;
                break;
            case 'G':
                scale = std::uint64_t{1} << 30;
                break;
            case 'T':
                scale = std::uint64_t{1} << 40;
                break;
            default:
                break;
        }
    }
    if (scale != 1) {
        text.remove_suffix(1);
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    constexpr std::uint64_t kLow = std::uint64_t{1} << 20;
    constexpr std::uint64_t kHigh = std::uint64_t{1} << 40;
    if (value > kHigh / scale || value * scale < kLow) {
        return std::nullopt;
    }
    return value * scale;
}
