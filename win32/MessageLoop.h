// The message loops besides the program's main loop: a modal window's, and the pump that keeps windows
// answering while a long piece of work runs.
#pragma once

#include <windows.h>

#include <functional>

namespace mokuna {

// A kernel object that the program's own loops (the main loop, RunModalLoop) wait on beside their
// messages, so that a request from outside wakes the program only when it comes; signalled runs on the
// loop's thread each time the object is signalled. One object at a time: a later call replaces it, and
// nullptr ends the waiting. The system's own modal loops (menus, message boxes, moves) do not wait on it:
// the request is seen when they end.
void SetLoopWait(HANDLE object, std::function<void()> signalled);
// GetMessageW for those loops: waits for a message or the object above.
BOOL GetLoopMessage(MSG& msg);

// Runs the loop of the modal window dialog until done() holds. Keys go through IsDialogMessage, so Tab,
// Enter and the arrows move between its controls. False when the program is ending: the quit request is
// then posted again for the caller's loop.
bool RunModalLoop(HWND dialog, const std::function<bool()>& done);

// Handles the messages waiting in this thread's queue, as the thread's loop would. A quit request ends the
// pump and is posted again for that loop; with drop_quit (a thread whose loop ends another way) it is
// dropped and the pump goes on.
void PumpMessages(bool drop_quit = false);

}  // namespace mokuna
