#include "bots/protocol_session.h"

namespace {

bool IsResult(std::string_view line) {
    return line == "-1" || line == "-2" || line == "-3";
}

}  // namespace

ProtocolSession::Action ProtocolSession::Start() {
    m_state = State::Idle;
    m_position = BitboardPosition();
    return Action::WriteReady;
}

ProtocolSession::Action ProtocolSession::OnLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    // "0" ends whatever is going on, also while no game runs (Reset pressed twice, or a "0" after
    // the one that ended the game): each one is answered with "p" so that the bot's last output is
    // ready for the next start.
    if (line == "0") {
        m_state = State::Idle;
        m_opening = BitboardPosition();
        return Action::WriteReady;
    }
    switch (m_state) {
        case State::Idle:
            // Only the first "1" or "2" after "p" starts a game. A result seen here belongs to a
            // board the moderator still shows after an illegal move; it changes nothing.
            if (line.starts_with("opening ")) {
                // A sequence that is no legal position leaves the board empty.
                m_opening =
                    BitboardPosition::FromMoves(line.substr(8)).value_or(BitboardPosition());
                return Action::None;
            }
            if (line == "1" || line == "2") {
                m_position = m_opening;
                m_opening = BitboardPosition();
                // The first mover is to move after an opening of even length.
                const bool toMove = (line == "1") == m_position.FirstMoverToMove();
                m_state = toMove ? State::ToMove : State::Waiting;
                return toMove ? Action::ChooseMove : Action::None;
            }
            return Action::None;
        case State::Waiting:
        case State::GameOver:
            if (IsResult(line)) {
                m_state = State::GameOver;
                return Action::None;
            }
            // After a result the operator may press Go instead of Reset; the moderator then goes on
            // relaying moves, and so does the bot.
            return TakeOpponentMove(line);
        case State::ToMove:
            // The driver answers ChooseMove before it reads on, so only a misbehaving driver gets
            // here; a result still ends the game, anything else waits for the bot's move.
            if (IsResult(line)) {
                m_state = State::GameOver;
            }
            return Action::None;
    }
    return Action::None;
}

void ProtocolSession::OwnMove(int column) {
    m_position.Play(column);
    m_state = State::Waiting;
}

ProtocolSession::Action ProtocolSession::TakeOpponentMove(std::string_view line) {
    const int column = line.size() == 1 ? line[0] - '0' : 0;
    if (!m_position.CanPlay(column)) {
        // An illegal move relayed as the opponent wrote it (not a column, or a full one): the
        // moderator rejects it and sends "0" next. The board stays as it is, like the moderator's.
        return Action::None;
    }
    m_position.Play(column);
    if (m_position.IsFull()) {
        m_state = State::GameOver;  // the tie is announced next; there is no move left to make
        return Action::None;
    }
    m_state = State::ToMove;
    return Action::ChooseMove;
}
