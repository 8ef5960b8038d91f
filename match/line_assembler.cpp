#include "match/line_assembler.h"

std::vector<std::string> LineAssembler::Feed(std::string_view chunk) {
    std::vector<std::string> lines;
    while (!chunk.empty()) {
        const std::size_t end = chunk.find('\n');
        const std::string_view piece = chunk.substr(0, end);
        const std::size_t room = kMaxLineBytes - m_pending.size();
        if (piece.size() > room) {
            m_truncated = true;
        }
        m_pending.append(piece.substr(0, room));
        if (end == std::string_view::npos) {
            break;
        }
        // A "\r" kept from the middle of an overlong line is not its line end.
        if (!m_truncated && !m_pending.empty() && m_pending.back() == '\r') {
            m_pending.pop_back();
        }
        lines.push_back(std::move(m_pending));
        m_pending.clear();
        m_truncated = false;
        chunk.remove_prefix(end + 1);
    }
    return lines;
}

void LineAssembler::Reset() {
    m_pending.clear();
    m_truncated = false;
}
