// Window procedures and posting: replacement, forwarding, order, coalescing.
#include "platform/winproc/winproc.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <random>
#include <thread>
#include <vector>

using namespace winproc;

namespace {

struct Seen {
  UINT msg;
  WPARAM w;
  LPARAM l;
  friend bool operator==(const Seen&, const Seen&) = default;
};
std::vector<Seen> g_seen;
HWND g_window_seen = nullptr;

LRESULT Recorder(HWND window, UINT msg, WPARAM w, LPARAM l) {
  g_window_seen = window;
  g_seen.push_back({msg, w, l});
  return 7;
}

LONG_PTR AsLong(WNDPROC procedure) {
  return reinterpret_cast<LONG_PTR>(procedure);
}

LRESULT Doubler(HWND window, UINT msg, WPARAM w, LPARAM l) {
  return 2 * CallWindowProcA(&Recorder, window, msg, w, l);
}

// A message window whose procedure is Recorder, nothing seen yet.
struct Posting : testing::Test {
  Posting() {
    window.set_procedure(&Recorder);
    g_seen.clear();
  }
  MessageWindow window;
};

}  // namespace

TEST(WindowProcedure, ReplacingReturnsThePreviousAndForwardingReturnsItsResult) {
  MessageWindow window;
  g_seen.clear();
  EXPECT_EQ(SetWindowLongA(window.handle(), GWL_WNDPROC, AsLong(&Recorder)),
            AsLong(&DefWindowProcA));
  const LONG_PTR second = SetWindowLongA(window.handle(), GWL_WNDPROC, AsLong(&Doubler));
  EXPECT_EQ(second, AsLong(&Recorder));
  EXPECT_EQ(SendMessageA(window.handle(), 2029, 3, -1), 14);
  EXPECT_EQ(g_seen, (std::vector<Seen>{{2029, 3, -1}}));
  EXPECT_EQ(g_window_seen, window.handle());
  // Putting the first one back restores plain delivery.
  SetWindowLongA(window.handle(), GWL_WNDPROC, second);
  EXPECT_EQ(SendMessageA(window.handle(), 1, 0, 0), 7);
}

TEST(WindowProcedure, UnknownWindowsAndIndicesChangeNothing) {
  MessageWindow window;
  PskMessageSink stranger{nullptr, nullptr};
  EXPECT_EQ(SetWindowLongA(&stranger, GWL_WNDPROC, AsLong(&Recorder)), 0);
  EXPECT_EQ(SetWindowLongA(window.handle(), -21, AsLong(&Recorder)), 0);
  EXPECT_EQ(window.procedure(), &DefWindowProcA);
  EXPECT_FALSE(PostMessageA(&stranger, 1, 0, 0));
  EXPECT_FALSE(PostMessageA(nullptr, 1, 0, 0));
  EXPECT_EQ(CallWindowProcA(nullptr, window.handle(), 1, 0, 0), 0);
}

TEST_F(Posting, MessagesPostedArriveOnlyWhenDeliveredAndADisplayNotificationAgainOnceHandled) {
  ASSERT_TRUE(PostMessageA(window.handle(), 2025, 65, 0));
  EXPECT_TRUE(g_seen.empty());
  MessageWindow::DeliverPosted();
  EXPECT_EQ(g_seen, (std::vector<Seen>{{2025, 65, 0}}));
  g_seen.clear();
  for (int round = 0; round < 3; ++round) {
    PostMessageA(window.handle(), WM_ENGINE_DISPLAY, 0, 0);
    PostMessageA(window.handle(), WM_ENGINE_DISPLAY, 0, 0);
    MessageWindow::DeliverPosted();
  }
  EXPECT_EQ(g_seen.size(), 3u);
}

TEST_F(Posting, ABurstFromAnotherThreadArrivesInOrderWithOnlyDisplaysCoalesced) {
  std::vector<Seen> sent, others;
  std::mt19937 random(2024);
  for (int i = 0; i < 100000; ++i) {
    const UINT code = 2024 + random() % 5;
    sent.push_back({code, i, code == 2025 ? 0 : -1});
    if (code != WM_ENGINE_DISPLAY) others.push_back(sent.back());
  }
  HWND handle = window.handle();
  std::thread poster([&] {  // through the sink itself, as the engine posts
    for (const Seen& s : sent) handle->post(handle->context, s.msg, s.w, s.l);
  });
  poster.join();
  MessageWindow::DeliverPosted();
  // Nothing was delivered while posting: one display notification waited, the rest were dropped.
  const auto display = std::find_if(g_seen.begin(), g_seen.end(),
                                    [](const Seen& s) { return s.msg == WM_ENGINE_DISPLAY; });
  ASSERT_NE(display, g_seen.end());
  g_seen.erase(display);
  EXPECT_TRUE(g_seen == others) << "the other messages, in order";
}

TEST_F(Posting, MessagesQueuedForADestroyedWindowAreDropped) {
  {
    MessageWindow doomed;
    doomed.set_procedure(&Recorder);
    PostMessageA(doomed.handle(), 2027, -30, 0);
  }
  MessageWindow::DeliverPosted();
  QCoreApplication::processEvents();
  EXPECT_TRUE(g_seen.empty());
}
