#pragma once

#include <QString>

#include <vector>

class QMenu;

// The dialog's window menu. Desktops on this platform do not let a program add items to the menu
// of the title bar, so the dialog's own context menu (a right click on its background) serves as
// the window menu: it starts with the dialog's Close item (SC_CLOSE) and then holds what the
// program appends. Choosing an item calls CDialog::OnSysCommand with the item's id.
//
// Window thread only.
class CWindowMenu {
public:
    CWindowMenu();

    // Appends a separator line.
    void AppendSeparator();
    // Appends an item with command `id` and `text` ("&" marks the item's mnemonic).
    void AppendItem(unsigned id, const QString& text);
    // Back to the Close item alone (when the dialog's window is destroyed).
    void Reset();

    // Number of entries, separators and the Close item included.
    int Count() const { return static_cast<int>(m_entries.size()); }
    // Entry `index`: its id (0 for a separator) and text (empty for a separator).
    unsigned IdAt(int index) const { return m_entries.at(index).id; }
    QString TextAt(int index) const { return m_entries.at(index).text; }
    bool IsSeparatorAt(int index) const { return m_entries.at(index).separator; }

    // Fills `menu` with the entries; each action carries its id as data (QAction::data()).
    void Populate(QMenu& menu) const;

private:
    struct Entry {
        bool separator;
        unsigned id;
        QString text;
    };
    std::vector<Entry> m_entries;
};
