#pragma once

// The application: it runs the moderator window once, modally, and ends when the window closes.
// It has no state of its own; exactly one instance exists, for the program's whole run.
class CModeratorApp {
public:
    CModeratorApp();
    ~CModeratorApp();

    // Runs the main window modally and returns false: there is nothing to run once it has
    // closed. Window thread, with the application's QApplication already constructed.
    bool InitInstance();
};

// The one instance.
extern CModeratorApp theApp;
