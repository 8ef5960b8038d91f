#include "winsvc/window_menu.h"

#include <QAction>
#include <QMenu>

#include "winsvc/window_styles.h"

CWindowMenu::CWindowMenu() {
    Reset();
}

void CWindowMenu::AppendSeparator() {
    m_entries.push_back(Entry{true, 0, QString()});
}

void CWindowMenu::AppendItem(unsigned id, const QString& text) {
    m_entries.push_back(Entry{false, id, text});
}

void CWindowMenu::Reset() {
    m_entries.clear();
    m_entries.push_back(Entry{false, SC_CLOSE, QStringLiteral("&Close")});
}

void CWindowMenu::Populate(QMenu& menu) const {
    for (const Entry& entry : m_entries) {
        if (entry.separator) {
            menu.addSeparator();
        } else {
            QAction* action = menu.addAction(entry.text);
            action->setData(entry.id);
        }
    }
}
