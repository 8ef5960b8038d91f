#pragma once

#include <QWidget>

#include <chrono>
#include <functional>
#include <string>

class CDialog;
class CModeratorDlg;

// Runs the real moderator window in a test: a fresh working directory of its own (so its move
// log is the test's), the dialog run modally, and the test's steps run inside that modal loop.
// Window thread only.
class DialogSession {
public:
    // Makes a temporary directory and changes into it.
    DialogSession();
    // Changes back and removes the directory.
    ~DialogSession();

    DialogSession(const DialogSession&) = delete;
    DialogSession& operator=(const DialogSession&) = delete;

    // Runs `steps` inside the modal run of `dlg`, then ends the run with Quit unless the steps
    // ended it themselves. Returns DoModal's end code.
    static int Run(CDialog& dlg, const std::function<void()>& steps);

    // Clicks the push button `id` with the mouse, as a person does.
    static void Click(CDialog& dlg, int id);
    // Types `text` into the edit `id`, replacing what it held.
    static void Type(CDialog& dlg, int id, const std::string& text);
    // The text a control shows (a pane's text with "\n" line ends).
    static std::string Text(CDialog& dlg, int id);
    static QWidget* Control(CDialog& dlg, int id);

    // Keeps the event loop running until `condition` holds; false on timeout.
    static bool WaitFor(const std::function<bool()>& condition,
                        std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // The bytes of "log.txt" in the session's directory; empty when there is none.
    std::string LogBytes() const;
    const std::string& Directory() const { return m_dir; }

private:
    std::string m_dir;
    std::string m_previousDir;
};
