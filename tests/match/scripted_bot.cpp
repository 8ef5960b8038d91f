#include "tests/match/scripted_bot.h"

#include "tests/testbots/puppet_bot.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

TempDir::TempDir() {
    std::string pattern =
        std::filesystem::temp_directory_path().string() + "/fourfall-match-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

ScriptedBot::ScriptedBot(const std::string& dir, const std::string& name)
    : m_name(name), m_record(dir + "/" + name + ".rec") {}

ScriptedBot& ScriptedBot::Games(std::vector<std::string> scripts) {
    m_scripts = std::move(scripts);
    return *this;
}

ScriptedBot& ScriptedBot::Options(std::vector<std::string> options) {
    m_options = std::move(options);
    return *this;
}

ScriptedBot& ScriptedBot::RelativeRecord() {
    m_relative = true;
    return *this;
}

std::string ScriptedBot::CommandLine() const {
    std::string line = PuppetBot::Quote(FOURFALL_MATCHBOT_PATH) + " --record " +
                       PuppetBot::Quote(m_relative ? m_name + ".rec" : m_record);
    for (const std::string& option : m_options) {
        line += " " + option;
    }
    for (const std::string& script : m_scripts) {
        line += " " + PuppetBot::Quote(script);
    }
    return line;
}

std::vector<std::string> ScriptedBot::RecordItems(const std::string& prefix) const {
    std::ifstream in(m_record);
    std::vector<std::string> items;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0) {
            items.push_back(line.substr(prefix.size()));
        }
    }
    return items;
}

std::vector<std::string> ScriptedBot::Received() const {
    return RecordItems("< ");
}

std::string ScriptedBot::ReceivedText() const {
    std::string text;
    const std::vector<std::string> lines = Received();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += (i == 0 ? "" : "|") + lines[i];
    }
    return text;
}

std::vector<pid_t> ScriptedBot::Pids() const {
    std::vector<pid_t> pids;
    for (const std::string& item : RecordItems("pid ")) {
        pids.push_back(static_cast<pid_t>(std::atoi(item.c_str())));
    }
    return pids;
}

std::vector<pid_t> ScriptedBot::Grandchildren() const {
    std::vector<pid_t> pids;
    for (const std::string& item : RecordItems("grandchild ")) {
        pids.push_back(static_cast<pid_t>(std::atoi(item.c_str())));
    }
    return pids;
}

std::string EveryOther(const std::string& moves, std::size_t first) {
    std::string script;
    for (std::size_t i = first; i < moves.size(); i += 2) {
        script += (script.empty() ? "" : ",") + moves.substr(i, 1);
    }
    return script;
}
