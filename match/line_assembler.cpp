#include "match/line_assembler.h"

std::vector<LineAssembler::Line> LineAssembler::Feed(std::string_view chunk) {
    std::vector<Line> lines;
    while (!chunk.empty()) {
        const std::size_t end = chunk.find('\n');
        const std::string_view piece = chunk.substr(0, end);
        if (m_state == State::Keeping && m_pending.empty() && piece.starts_with('?')) {
            m_state = State::Dropping;
        }
        if (m_state == State::Keeping) {
            // One byte beyond the limit may still be the "\r" of a "\r\n".
            const std::size_t size = m_pending.size() + piece.size();
            const char last =
                !piece.empty() ? piece.back() : (m_pending.empty() ? '\0' : m_pending.back());
            if (size > kMaxLineBytes + 1 || (size == kMaxLineBytes + 1 && last != '\r')) {
                lines.push_back({"", true});
                m_pending.clear();
                m_state = State::Dropping;
            } else {
                m_pending.append(piece);
            }
        }
        if (end == std::string_view::npos) {
            break;
        }
        if (m_state == State::Keeping) {
            if (!m_pending.empty() && m_pending.back() == '\r') {
                m_pending.pop_back();
            }
            lines.push_back({std::move(m_pending), false});
            m_pending.clear();
        }
        m_state = State::Keeping;
        chunk.remove_prefix(end + 1);
    }
    return lines;
}

void LineAssembler::Reset() {
    m_pending.clear();
    m_state = State::Keeping;
}
