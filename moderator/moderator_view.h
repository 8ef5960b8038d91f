#pragma once

#include <string>

class ITextPane;

// What the turn controller drives of the moderator window: the fields it reads, the status
// text, the output panes, the cells' and the banner's images. The window implements it over its
// controls; nothing here knows of a toolkit.
//
// Window thread only.
class IModeratorView {
public:
    virtual ~IModeratorView() = default;

    // Copies the window's fields into the values CommandLine returns, as the window reads them
    // at the start of each action.
    virtual void TakeFields() = 0;
    // Player 1's or player 2's command line, as last taken.
    virtual std::string CommandLine(int player) const = 0;

    // Appends `text` to the status pane, at its caret.
    virtual void InsertStatus(const std::string& text) = 0;
    // Replaces the whole text of `player`'s output pane.
    virtual void SetOutputText(int player, const char* text) = 0;
    // `player`'s output pane, for that player's channel to write to.
    virtual ITextPane* OutputPane(int player) = 0;

    // Shows image `bitmapId` in the board cell of (`column`, `row`), both counted from 1.
    virtual void ShowCell(int column, int row, unsigned bitmapId) = 0;
    // Shows image `bitmapId` on the banner over the board.
    virtual void ShowBanner(unsigned bitmapId) = 0;
};
