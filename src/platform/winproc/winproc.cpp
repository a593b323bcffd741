#include "platform/winproc/winproc.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <atomic>
#include <mutex>
#include <unordered_set>

namespace winproc {
namespace {

// The event that carries one posted message to the GUI thread.
const QEvent::Type kMessageEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

struct MessageEvent : QEvent {
  MessageEvent(UINT m, WPARAM w, LPARAM l)
      : QEvent(kMessageEventType), msg(m), wparam(w), lparam(l) {}
  UINT msg;
  WPARAM wparam;
  LPARAM lparam;
};

// The windows that exist, so that a stale or foreign handle is refused.
std::mutex g_windows_mutex;
std::unordered_set<const PskMessageSink*> g_windows;

// Set once the program ends on an error: posted messages are dropped.
std::atomic<bool> g_held{false};

// Qt hands a posted event to the GUI thread under a lock of its own, which a
// thread sanitizer cannot see in a Qt not built for it.  This counter states
// the hand-over: every post releases it, every delivery acquires it.
std::atomic<uint64_t> g_handover{0};

bool IsWindow(HWND window) {
  std::lock_guard lock(g_windows_mutex);
  return window != nullptr && g_windows.count(window) != 0;
}

}  // namespace

// Lives on the GUI thread; receives the posted messages and runs the
// window's current procedure.
struct MessageWindow::Receiver : QObject {
  explicit Receiver(MessageWindow* owner) : owner_(owner) {}

  bool event(QEvent* e) override {
    g_handover.load(std::memory_order_acquire);
    if (e->type() != kMessageEventType) return QObject::event(e);
    if (g_held.load()) return true;
    auto* m = static_cast<MessageEvent*>(e);
    // From here on a new display notification may be queued again.
    if (m->msg == kCoalescedMessage) display_pending.store(false);
    CallWindowProcA(procedure.load(), owner_->handle(), m->msg, m->wparam, m->lparam);
    return true;
  }

  MessageWindow* owner_;
  std::atomic<WNDPROC> procedure{&DefWindowProcA};
  std::atomic<bool> display_pending{false};
};

namespace {

void PostToReceiver(void* context, uint32_t msg, int32_t wparam, int32_t lparam) {
  auto* receiver = static_cast<MessageWindow::Receiver*>(context);
  if (msg == kCoalescedMessage && receiver->display_pending.exchange(true)) return;
  auto* event = new MessageEvent(msg, wparam, lparam);
  g_handover.fetch_add(1, std::memory_order_release);
  QCoreApplication::postEvent(receiver, event);
}

MessageWindow::Receiver* ReceiverOf(HWND window) {
  return static_cast<MessageWindow::Receiver*>(window->context);
}

}  // namespace

MessageWindow::MessageWindow() : receiver_(new Receiver(this)) {
  sink_.post = &PostToReceiver;
  sink_.context = receiver_;
  std::lock_guard lock(g_windows_mutex);
  g_windows.insert(&sink_);
}

MessageWindow::~MessageWindow() {
  {
    std::lock_guard lock(g_windows_mutex);
    g_windows.erase(&sink_);
  }
  delete receiver_;  // drops the messages still queued for it
}

WNDPROC MessageWindow::procedure() const {
  return receiver_->procedure.load();
}

WNDPROC MessageWindow::set_procedure(WNDPROC procedure) {
  return receiver_->procedure.exchange(procedure ? procedure : &DefWindowProcA);
}

void HoldPostedMessages() {
  g_held.store(true);
}

void MessageWindow::DeliverPosted() {
  QCoreApplication::sendPostedEvents(nullptr, kMessageEventType);
}

LONG_PTR SetWindowLongA(HWND window, int index, LONG_PTR new_value) {
  if (index != GWL_WNDPROC || !IsWindow(window)) return 0;
  auto* procedure = reinterpret_cast<WNDPROC>(new_value);
  WNDPROC previous =
      ReceiverOf(window)->procedure.exchange(procedure ? procedure : &DefWindowProcA);
  return reinterpret_cast<LONG_PTR>(previous);
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (procedure == nullptr) procedure = &DefWindowProcA;
  return procedure(window, msg, wparam, lparam);
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) {
  return 0;
}

bool PostMessageA(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (!IsWindow(window)) return false;
  window->post(window->context, msg, wparam, lparam);
  return true;
}

LRESULT SendMessageA(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (!IsWindow(window)) return 0;
  return CallWindowProcA(ReceiverOf(window)->procedure.load(), window, msg, wparam, lparam);
}

}  // namespace winproc
