#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"

// Command lines of the sample bots as built with the tests (paths are set by the build).
namespace sample_bots {

// The ready line of every sample bot: "p" and the word that says it can start from an opening.
inline constexpr const char kReady[] = "p openings";

inline std::vector<std::string> Random(std::vector<std::string> args = {}) {
    args.insert(args.begin(), FOURFALL_RANDOM_BOT);
    return args;
}

inline std::vector<std::string> Strong(std::vector<std::string> args = {}) {
    args.insert(args.begin(), FOURFALL_STRONG_BOT);
    return args;
}

// Empty when the build found no Python 3 interpreter.
inline std::vector<std::string> Example(std::vector<std::string> args = {}) {
    const std::string python = FOURFALL_PYTHON3;
    if (python.empty()) {
        return {};
    }
    args.insert(args.begin(), {python, FOURFALL_EXAMPLE_BOT});
    return args;
}

// Whether `bot`, started with arguments it must refuse, printed its usage and exited with 2.
inline ::testing::AssertionResult RefusedWithUsage(ChildProcess& bot) {
    using namespace std::chrono_literals;
    if (!bot.Started()) {
        return ::testing::AssertionFailure() << "the bot did not start";
    }
    const std::optional<std::string> output = bot.ReadToEnd(10s);
    if (!output.has_value() || output->rfind("usage:", 0) != 0) {
        return ::testing::AssertionFailure() << "output: " << output.value_or("(none)");
    }
    const std::optional<int> status = bot.Wait(10s);
    if (status != std::optional<int>(2)) {
        return ::testing::AssertionFailure() << "exit status " << status.value_or(-1);
    }
    return ::testing::AssertionSuccess();
}

}  // namespace sample_bots
