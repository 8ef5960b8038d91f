#pragma once

#include <string>
#include <vector>

// Command lines of the sample bots as built with the tests (paths are set by the build).
namespace sample_bots {

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

}  // namespace sample_bots
