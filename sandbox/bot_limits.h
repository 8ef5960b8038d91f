#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What each bot process may use at most, as fourfall-match's --bot-* options give it. Every limit
// is off unless set. Plain data; any thread.
struct BotLimits {
    // Address space in bytes (RLIMIT_AS), and the size as it was given ("512M"), for messages.
    std::optional<std::uint64_t> memoryBytes;
    std::string memoryText;
    // Processes the bot may have at once, itself and everything it starts included.
    std::optional<int> processes;
    // CPU time per bot process, in whole seconds (RLIMIT_CPU counts seconds).
    std::optional<int> cpuSeconds;

    bool Any() const { return memoryBytes || processes || cpuSeconds; }

    // A size: a whole number of bytes, or with a suffix K, M, G or T (powers of 1024), at least
    // 1M and at most 1T. Nothing for anything else.
    static std::optional<std::uint64_t> ParseSize(std::string_view text);
};
