// Window procedures and message posting.
//
// A window handle is the address of a message sink (pskengine.h): a post
// function and its context.  Posting is safe from any thread; the message is
// delivered on the GUI thread to the window's current window procedure, which
// can be replaced (and the previous one got back) at any time.
//
// Display notifications never pile up: while one is waiting to be delivered a
// second one is not queued.  Every other message is delivered, in order.
#pragma once

#include <cstdint>

#include "pskengine.h"

class QObject;

namespace winproc {

using HWND = PskWindowHandle;
using UINT = uint32_t;
using WPARAM = int32_t;
using LPARAM = int32_t;
using LRESULT = int32_t;
using LONG_PTR = intptr_t;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

constexpr int GWL_WNDPROC = -4;
constexpr UINT WM_USER = 1024;

// The message that is coalesced while one is waiting.
constexpr UINT kCoalescedMessage = WM_ENGINE_DISPLAY;

// Replaces a window's procedure when index is GWL_WNDPROC and returns the
// previous one; any other index, or an unknown window, changes nothing and
// returns 0.
LONG_PTR SetWindowLongA(HWND window, int index, LONG_PTR new_value);
// Runs the given procedure with the message and returns its result; a null
// procedure runs the default one.
LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT msg, WPARAM wparam, LPARAM lparam);
// The default procedure: handles nothing and returns 0.
LRESULT DefWindowProcA(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);
// Queues a message for the window from any thread; false for an unknown
// window.  Returns true also when a display notification is coalesced.
bool PostMessageA(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);
// Runs the window's current procedure at once, on the calling (GUI) thread.
LRESULT SendMessageA(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);

// From now on no posted message reaches a window procedure: the program is
// ending on an error, and the error box's event loop must not run handlers
// (and the engine operations they call) again.  Messages sent directly still
// run.
void HoldPostedMessages();

// The message sink of one window.  Lives on the GUI thread; the owner keeps
// it alive for as long as anybody may post to its handle.
class MessageWindow {
 public:
  MessageWindow();
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  HWND handle() { return &sink_; }
  WNDPROC procedure() const;
  WNDPROC set_procedure(WNDPROC procedure);  // returns the previous one

  // Delivers the queued messages now (tests and the replay tool; the
  // application's event loop does it by itself).
  static void DeliverPosted();

  struct Receiver;

 private:
  PskMessageSink sink_;
  Receiver* receiver_;  // the QObject the messages are queued on
};

}  // namespace winproc
