#pragma once

#include "platform/ui/Clipboard.h"

#include <chrono>
#include <deque>
#include <map>
#include <string>

typedef union _XEvent XEvent;

namespace tolvar::ui {

class X11Backend;

// The CLIPBOARD and PRIMARY selections on X. Setting text makes a hidden
// window of ours the selection's owner; other programs then ask it for the
// text with SelectionRequest events, which the event filter answers as
// UTF8_STRING or Latin-1 STRING. Asking for text sends ConvertSelection to
// the owner and waits for its SelectionNotify without blocking the loop; the
// answer reaches the callbacks as posted work. Texts too large for one
// request (the INCR protocol) are neither served nor read.
class X11Selection
{
public:
    explicit X11Selection(X11Backend& backend);
    ~X11Selection();
    X11Selection(const X11Selection&) = delete;
    X11Selection& operator=(const X11Selection&) = delete;

    void SetText(Selection which, const std::string& utf8);
    void RequestText(Selection which, SelectionCallback done);

private:
    struct Pending
    {
        std::deque<SelectionCallback> callbacks;
        std::chrono::steady_clock::time_point asked;
        bool triedLatin1 = false;
    };

    bool Filter(XEvent& event);
    void Serve(XEvent& event);
    void Receive(XEvent& event);
    void Convert(Selection which, bool latin1);
    void Answer(Selection which, std::optional<std::string> text);
    unsigned long SelectionAtom(Selection which);
    std::optional<Selection> Which(unsigned long atom);

    X11Backend& m_backend;
    unsigned long m_window = 0;
    int m_filter = 0;
    std::map<Selection, std::string> m_texts; // what we offer while we own it
    std::map<Selection, Pending> m_pending;
};

} // namespace tolvar::ui
