#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Splits a command line into words the way a POSIX shell splits a simple command, without running
// a shell: blanks (space, tab, newline) separate words; single quotes keep everything up to the
// next single quote; double quotes keep everything except that a backslash escapes $ ` " \ and
// newline; an unquoted backslash keeps the next character (backslash-newline joins lines, a
// backslash at the very end stays a backslash). Quotes glue to their neighbours ("a"'b'c is one
// word abc) and an empty pair of quotes is an empty word.
//
// Nothing is expanded or interpreted: $, backquotes, ~, globs, #, redirections and ; | & are plain
// characters. So a command line never runs anything but the program it names.
//
// Returns the words (empty for a blank line), or nullopt when a quote is not closed.
// Pure function; any thread.
std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line);

// `word` written so that SplitCommandLine reads it back as that one word: as it is when it holds
// only characters that need no quoting, otherwise in single quotes (a single quote inside as
// '\''). Pure function; any thread.
std::string QuoteCommandWord(std::string_view word);
