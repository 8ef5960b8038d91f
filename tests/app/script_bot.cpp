// scriptbot COLUMNS: a bot that plays the columns it is given, in order, whatever the board.
// It writes "p" at start and after every "0", its first column when told it moves first ("1"),
// and its next column after each move of the opponent; results are ignored.
#include <unistd.h>

#include <iostream>
#include <string>

namespace {

void Write(const std::string& line) {
    const std::string bytes = line + "\n";
    // One write per line, so the moderator never sees a move in two pieces.
    if (write(STDOUT_FILENO, bytes.data(), bytes.size()) < 0) {
        _exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: scriptbot COLUMNS\n";
        return 2;
    }
    const std::string columns = argv[1];
    std::size_t next = 0;
    bool inGame = false;
    const auto play = [&] {
        if (next < columns.size()) {
            Write(std::string(1, columns[next++]));
        }
    };

    Write("p");
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line == "0") {
            inGame = false;
            next = 0;
            Write("p");
        } else if (!line.empty() && line[0] == '-') {
            // A result: the game goes on only if the operator presses Go.
        } else if (!inGame && (line == "1" || line == "2")) {
            inGame = true;
            if (line == "1") {
                play();
            }
        } else if (inGame) {
            play();
        }
    }
    return 0;
}
