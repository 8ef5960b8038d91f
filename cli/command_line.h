#pragma once

#include <CLI/CLI.hpp>

#include <charconv>
#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// What the project's command-line programs share of CLI11: the help that begins with the
// program's own usage line and its description, one way of answering --help, --version and
// usage errors, and of ending on an error nobody foresaw.

// Prints "usage: USAGE", then the description, in place of CLI11's usage line and description.
class UsageFormatter : public CLI::Formatter {
public:
    explicit UsageFormatter(std::string usage) : m_usage(std::move(usage)) {}

    std::string make_description(const CLI::App* /*app*/) const override { return {}; }
    std::string make_usage(const CLI::App* app, std::string /*name*/) const override {
        return "usage: " + m_usage + "\n" + app->get_description() + "\n";
    }

private:
    std::string m_usage;
};

// Gives `app` the project's help layout: `usage` first, options under "options", option names in
// a column of `columnWidth`.
inline void UseProjectHelp(CLI::App& app, std::string usage, std::size_t columnWidth = 30) {
    app.formatter(std::make_shared<UsageFormatter>(std::move(usage)));
    app.get_formatter()->label("OPTIONS", "options");
    app.get_formatter()->column_width(columnWidth);
}

// The exit status of a usage error.
inline constexpr int kUsageErrorStatus = 2;

// K and N of --shard's "K/N", whole numbers with 1 <= K <= N <= maxShards; nothing for any other
// text.
inline std::optional<std::pair<int, int>> ParseShard(std::string_view text, int maxShards) {
    const auto whole = [](std::string_view part) -> std::optional<int> {
        int value = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        return error == std::errc() && end == part.data() + part.size() ? std::optional(value)
                                                                        : std::nullopt;
    };
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<int> shard = whole(text.substr(0, slash));
    const std::optional<int> shards = whole(text.substr(slash + 1));
    if (!shard || !shards || *shard < 1 || *shard > *shards || *shards > maxShards) {
        return std::nullopt;
    }
    return std::make_pair(*shard, *shards);
}

// Parses the arguments into `app`. Answers --help (the help, status 0), `version` once set (the
// program's name and `versionText`, status 0) and a usage error ("NAME: what" and the help on
// standard error, status 2); returns that status, or nothing when the program is to run on.
inline std::optional<int> ParseOrAnswer(CLI::App& app, int argc, char** argv, const bool& version,
                                        const char* versionText) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::ParseError& e) {
        std::cerr << app.get_name() << ": " << e.what() << "\n" << app.help();
        return kUsageErrorStatus;
    }
    if (version) {
        std::cout << app.get_name() << " " << versionText << "\n";
        return 0;
    }
    return std::nullopt;
}

// The exit status of a program that met an error it could not go on from.
inline constexpr int kFailureStatus = 1;

// Runs `body`, a program's main, and returns its exit status. An exception escaping it (memory or
// threads running out) becomes "NAME: what" on standard error and kFailureStatus, in place of an
// abort; what the program wrote before (a log, a .partial file) stays as it was.
template <typename Body>
int RunReportingFailure(const char* name, Body body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        std::cerr << name << ": out of memory\n";
    } catch (const std::exception& e) {
        std::cerr << name << ": " << e.what() << "\n";
    } catch (...) {
        std::cerr << name << ": an unknown error\n";
    }
    return kFailureStatus;
}
