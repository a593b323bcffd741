// The notification dispatcher: every message passes on unchanged after its
// handler with the replaced procedure's result; the status lamps.
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/engine_hook.h"
#include "app/form1.h"
#include "replay_test_support.h"

using namespace testing_support;
using namespace winproc;

namespace {

struct Forwarded {
  UINT msg;
  WPARAM w;
  LPARAM l;
  int16_t engine_status;  // as the handler left it
  bool red_lamp;
};
std::vector<Forwarded> g_forwarded;

LRESULT Previous(HWND, UINT msg, WPARAM w, LPARAM l) {
  g_forwarded.push_back({msg, w, l, EngineStatus, Form1().Picture4[1].Visible()});
  return static_cast<LRESULT>(msg) + 1;
}

// A loaded main window whose replaced procedure is Previous.
struct Dispatcher : ::testing::Test {
  void SetUp() override {
    session.Run("load Form1");
    PrevWndProc = reinterpret_cast<LONG_PTR>(&Previous);
    g_forwarded.clear();
  }
  replay::Session session;
};

}  // namespace

TEST_F(Dispatcher, EveryMessageIsPassedOnOnceUnchangedAfterItsHandlerWithItsResultReturned) {
  // The status code last: nothing before it changes the engine status.
  for (UINT msg : {2023u, 2029u, 15u, 0u, 0xFFFFFFFFu, 2024u, 2025u, 2027u, 2028u, 2026u}) {
    const WPARAM w = msg == WM_ENGINE_STATUS ? 1 : -7;
    g_forwarded.clear();
    EXPECT_EQ(SendMessageA(Form1().hWnd(), msg, w, -1), static_cast<LRESULT>(msg) + 1) << msg;
    ASSERT_EQ(g_forwarded.size(), 1u) << msg;
    EXPECT_EQ(g_forwarded[0].msg, msg);
    EXPECT_EQ(g_forwarded[0].w, w) << msg;
    EXPECT_EQ(g_forwarded[0].l, -1) << msg;
    // The status handler ran before the message passed on.
    EXPECT_EQ(g_forwarded[0].engine_status, msg == WM_ENGINE_STATUS ? 1 : 0) << msg;
  }
}

TEST_F(Dispatcher, ASecondHookStillPassesMessagesOnToTheReplacedProcedure) {
  InstallEngineHook(Form1().hWnd());
  EXPECT_EQ(PrevWndProc, reinterpret_cast<LONG_PTR>(&Previous));
  EXPECT_EQ(SendMessageA(Form1().hWnd(), 2029, 0, 0), 2030);
  EXPECT_EQ(g_forwarded.size(), 1u);
}

TEST_F(Dispatcher, StatusLampsFollowPostedStatusZeroAndOneOnly) {
  MainWindow& form = Form1();
  // Codes other than 0 and 1 change nothing, whichever lamp shows.
  const auto post_others = [&](int status) {
    for (int other : {2, -1, 100}) {
      session.Run("post 2026 " + std::to_string(other) + " 0");
      EXPECT_EQ(EngineStatus, status) << other;
      EXPECT_EQ(form.Picture4[1].Visible(), status == 1) << other;
      EXPECT_TRUE(form.Picture4[0].Visible()) << other;
    }
  };
  post_others(0);
  session.Run("post 2026 1 0\npost 2025 65 0");
  ASSERT_EQ(g_forwarded.size(), 5u);
  EXPECT_EQ(g_forwarded[3].msg, 2026u);
  EXPECT_TRUE(g_forwarded[3].red_lamp);  // handled before passing on
  EXPECT_EQ(g_forwarded[4].msg, 2025u);
  post_others(1);
  session.Run("post 2026 0 0");
  EXPECT_EQ(EngineStatus, 0);
  EXPECT_FALSE(form.Picture4[1].Visible());
  EXPECT_TRUE(form.Picture4[0].Visible());
}
