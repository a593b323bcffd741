// The notification dispatcher: every message passes on to the replaced
// procedure with its arguments, after the handler of an engine code, and the
// replaced procedure's result comes back; the status lamps.
#include <gtest/gtest.h>

#include "app/Module1.h"
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

TEST_F(Dispatcher, OtherMessagesArePassedOnWithTheirResult) {
  for (UINT msg : {2023u, 2029u, 15u, 0u, 0xFFFFFFFFu}) {
    const LRESULT result = SendMessageA(Form1().hWnd(), msg, 12, -34);
    EXPECT_EQ(result, static_cast<LRESULT>(msg) + 1) << msg;
    ASSERT_EQ(g_forwarded.size(), 1u);
    EXPECT_EQ(g_forwarded[0].msg, msg);
    EXPECT_EQ(g_forwarded[0].w, 12);
    EXPECT_EQ(g_forwarded[0].l, -34);
    g_forwarded.clear();
  }
  EXPECT_EQ(EngineStatus, 0);
}

TEST_F(Dispatcher, EngineCodesArePassedOnAfterTheirHandlerWithUnchangedArguments) {
  for (UINT msg = 2024; msg <= 2028; ++msg) {
    const int32_t w = msg == WM_ENGINE_STATUS ? 1 : -7;
    EXPECT_EQ(SendMessageA(Form1().hWnd(), msg, w, -1), static_cast<LRESULT>(msg) + 1);
    ASSERT_EQ(g_forwarded.size(), 1u) << msg;
    EXPECT_EQ(g_forwarded[0].msg, msg);
    EXPECT_EQ(g_forwarded[0].w, w);
    EXPECT_EQ(g_forwarded[0].l, -1);
    g_forwarded.clear();
  }
}

TEST_F(Dispatcher, PostedNotificationsReachTheHookOnTheGuiThread) {
  session.Run("post 2026 1 0\npost 2025 65 0");
  ASSERT_EQ(g_forwarded.size(), 2u);
  EXPECT_EQ(g_forwarded[0].msg, 2026u);
  EXPECT_EQ(g_forwarded[0].engine_status, 1);  // handled before passing on
  EXPECT_TRUE(g_forwarded[0].red_lamp);
  EXPECT_EQ(g_forwarded[1].msg, 2025u);
}

TEST_F(Dispatcher, StatusLampsFollowStatusZeroAndOneOnly) {
  MainWindow& form = Form1();
  session.Run("post 2026 1 0");
  EXPECT_EQ(EngineStatus, 1);
  EXPECT_TRUE(form.Picture4[1].Visible());
  EXPECT_TRUE(form.Picture4[0].Visible());
  for (int other : {2, -1, 100}) {
    session.Run("post 2026 " + std::to_string(other) + " 0");
    EXPECT_EQ(EngineStatus, 1) << other;
    EXPECT_TRUE(form.Picture4[1].Visible()) << other;
  }
  session.Run("post 2026 0 0");
  EXPECT_EQ(EngineStatus, 0);
  EXPECT_FALSE(form.Picture4[1].Visible());
  EXPECT_TRUE(form.Picture4[0].Visible());
  EXPECT_EQ(g_forwarded.size(), 5u);
}
