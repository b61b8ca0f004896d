// The X11 window operations against a real X server and window manager: the windows of
// "another program" come from a second connection, and the effects the window manager
// brings about later are awaited through the events they cause.
#include <gtest/gtest.h>
#include <poll.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "shell/XcbWindows.h"
#include "support/XvfbSession.h"

namespace trs {
namespace {

using TValues = std::vector<std::uint32_t>;
using TClock = std::chrono::steady_clock;

// WM_HINTS flags: input, initial state, window group.
constexpr std::uint32_t InputHint = 1;
constexpr std::uint32_t StateHint = 2;
constexpr std::uint32_t WindowGroupHint = 64;
constexpr std::uint32_t NormalState = 1;

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection,
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

// A 32-bit property, or nothing when the window lacks it.
std::optional<TValues> Property(xcb_connection_t* connection, xcb_window_t window,
                                xcb_atom_t property) {
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      connection,
      xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
      nullptr);
  std::optional<TValues> values;
  if (reply != nullptr && reply->type != XCB_ATOM_NONE) {
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    values.emplace(data, data + xcb_get_property_value_length(reply) / 4);
  }
  std::free(reply);
  return values;
}

// The other program: its own connection and top-level windows, watched for the events
// that tell when the window manager has acted.
class TClient {
 public:
  explicit TClient(const std::string& display) {
    Connection = xcb_connect(display.c_str(), &ScreenNumber);
    if (xcb_connection_has_error(Connection) != 0) return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(Connection));
    for (int i = 0; i < ScreenNumber; ++i) xcb_screen_next(&screens);
    Screen = screens.data;
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(Connection, Screen->root, XCB_CW_EVENT_MASK, &mask);
    ClientList = Atom(Connection, "_NET_CLIENT_LIST");
    Stacking = Atom(Connection, "_NET_CLIENT_LIST_STACKING");
  }
  ~TClient() { xcb_disconnect(Connection); }  // which destroys its windows
  TClient(const TClient&) = delete;
  TClient& operator=(const TClient&) = delete;

  bool Connected() const { return Screen != nullptr; }
  xcb_connection_t* Handle() const { return Connection; }
  xcb_window_t Root() const { return Screen->root; }

  // A top-level window named `name`, with `hints` as its WM_HINTS when given; mapped
  // unless asked otherwise (the window manager takes it on later, see WaitUntilManaged).
  xcb_window_t CreateWindow(const std::string& name, const std::optional<TValues>& hints = {},
                            bool map = true) {
    const xcb_window_t window = xcb_generate_id(Connection);
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_FOCUS_CHANGE |
                               XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    const auto offset = static_cast<std::int16_t>(40 * ++Count);
    xcb_create_window(Connection, XCB_COPY_FROM_PARENT, window, Screen->root, offset, offset, 240,
                      120, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, Screen->root_visual, XCB_CW_EVENT_MASK,
                      &mask);
    xcb_change_property(Connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(name.size()), name.data());
    if (hints)
      xcb_change_property(Connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS,
                          XCB_ATOM_WM_HINTS, 32, static_cast<std::uint32_t>(hints->size()),
                          hints->data());
    if (map) xcb_map_window(Connection, window);
    Sync();
    return window;
  }

  void DestroyWindow(xcb_window_t window) {
    xcb_destroy_window(Connection, window);
    Sync();
  }

  // Waits until `condition` holds, rechecking whenever an event arrives here: every effect
  // awaited in these tests changes a watched property, the focus or the structure.
  bool WaitFor(const std::function<bool()>& condition) {
    const TClock::time_point deadline = TClock::now() + std::chrono::seconds(10);
    pollfd fd = {xcb_get_file_descriptor(Connection), POLLIN, 0};
    while (!condition()) {
      bool queued = false;
      while (xcb_generic_event_t* event = xcb_poll_for_event(Connection)) {
        std::free(event);
        queued = true;
      }
      if (queued) continue;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
      if (left <= 0 || xcb_connection_has_error(Connection) != 0) return false;
      ::poll(&fd, 1, static_cast<int>(left));
    }
    return true;
  }

  bool WaitUntilManaged(xcb_window_t window) {
    return WaitFor([&] { return Contains(RootList(ClientList), window) && IsViewable(window); });
  }

  bool WaitUntilUnmanaged(xcb_window_t window) {
    return WaitFor([&] { return !Contains(RootList(ClientList), window); });
  }

  TValues StackingOrder() { return RootList(Stacking); }

  xcb_window_t Focus() {
    xcb_get_input_focus_reply_t* reply =
        xcb_get_input_focus_reply(Connection, xcb_get_input_focus(Connection), nullptr);
    const xcb_window_t focus = reply != nullptr ? reply->focus : xcb_window_t{XCB_WINDOW_NONE};
    std::free(reply);
    return focus;
  }

  // The window's position on the root window and its size.
  TValues Geometry(xcb_window_t window) {
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(Connection, xcb_get_geometry(Connection, window), nullptr);
    xcb_translate_coordinates_reply_t* position = xcb_translate_coordinates_reply(
        Connection, xcb_translate_coordinates(Connection, window, Screen->root, 0, 0), nullptr);
    TValues result;
    if (geometry != nullptr && position != nullptr)
      result = {static_cast<std::uint32_t>(position->dst_x),
                static_cast<std::uint32_t>(position->dst_y), geometry->width, geometry->height};
    std::free(geometry);
    std::free(position);
    return result;
  }

  static bool Contains(const TValues& values, std::uint32_t value) {
    return std::find(values.begin(), values.end(), value) != values.end();
  }

 private:
  void Sync() {
    std::free(xcb_get_input_focus_reply(Connection, xcb_get_input_focus(Connection), nullptr));
  }

  TValues RootList(xcb_atom_t property) {
    return Property(Connection, Screen->root, property).value_or(TValues{});
  }

  bool IsViewable(xcb_window_t window) {
    xcb_get_window_attributes_reply_t* reply = xcb_get_window_attributes_reply(
        Connection, xcb_get_window_attributes(Connection, window), nullptr);
    const bool viewable = reply != nullptr && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    return viewable;
  }

  xcb_connection_t* Connection = nullptr;
  int ScreenNumber = 0;
  xcb_screen_t* Screen = nullptr;
  xcb_atom_t ClientList = XCB_ATOM_NONE;
  xcb_atom_t Stacking = XCB_ATOM_NONE;
  int Count = 0;
};

// The object under test works on a connection it does not own, as it does on Qt's, so the
// tests can also see that no X error reaches that connection's event queue.
class XcbWindowsTest : public testing::Test {
 protected:
  void SetUp() override {
    Session = std::make_unique<TXvfbSession>();
    Client = std::make_unique<TClient>(Session->DisplayName());
    ASSERT_TRUE(Client->Connected()) << "cannot connect to " << Session->DisplayName();
    int screenNumber = 0;
    HostConnection = xcb_connect(Session->DisplayName().c_str(), &screenNumber);
    ASSERT_EQ(xcb_connection_has_error(HostConnection), 0);
    Windows = std::make_unique<TXcbWindows>(HostConnection, screenNumber);
    SavedInput = Atom(Client->Handle(), "_TALLYREPORTSRV_SAVED_INPUT");
  }

  void TearDown() override {
    if (HostConnection == nullptr) return;
    Windows.reset();
    // The reply to a last request comes after any error of an earlier one.
    std::free(
        xcb_get_input_focus_reply(HostConnection, xcb_get_input_focus(HostConnection), nullptr));
    EXPECT_EQ(xcb_connection_has_error(HostConnection), 0);
    while (xcb_generic_event_t* event = xcb_poll_for_event(HostConnection)) {
      EXPECT_NE(event->response_type, 0) << "an X error reached the host's event queue";
      std::free(event);
    }
    xcb_disconnect(HostConnection);
  }

  // A mapped window that the window manager has taken on.
  xcb_window_t ManagedWindow(const std::string& name, const std::optional<TValues>& hints = {}) {
    const xcb_window_t window = Client->CreateWindow(name, hints);
    EXPECT_TRUE(Client->WaitUntilManaged(window)) << name << " was not managed";
    return window;
  }

  std::optional<TValues> Hints(xcb_window_t window) {
    return Property(Client->Handle(), window, XCB_ATOM_WM_HINTS);
  }
  std::optional<TValues> Saved(xcb_window_t window) {
    return Property(Client->Handle(), window, SavedInput);
  }

  // The topmost of `windows` in the window manager's stacking order.
  xcb_window_t TopmostOf(const TValues& windows) {
    const TValues order = Client->StackingOrder();
    for (auto it = order.rbegin(); it != order.rend(); ++it)
      if (TClient::Contains(windows, *it)) return *it;
    return XCB_WINDOW_NONE;
  }
  xcb_window_t BottommostOf(const TValues& windows) {
    for (const std::uint32_t window : Client->StackingOrder())
      if (TClient::Contains(windows, window)) return window;
    return XCB_WINDOW_NONE;
  }

  std::unique_ptr<TXvfbSession> Session;
  std::unique_ptr<TClient> Client;
  xcb_connection_t* HostConnection = nullptr;
  std::unique_ptr<TXcbWindows> Windows;
  xcb_atom_t SavedInput = XCB_ATOM_NONE;
};

TEST_F(XcbWindowsTest, ActiveWindowFollowsSetForeground) {
  const xcb_window_t first = ManagedWindow("first");
  const xcb_window_t second = ManagedWindow("second");
  for (const xcb_window_t target : {first, second, first}) {
    Windows->SetForeground(target);
    EXPECT_TRUE(Client->WaitFor([&] { return Windows->ActiveWindow() == target; }))
        << "active " << Windows->ActiveWindow() << ", wanted " << target;
  }
}

struct THintsCase {
  const char* Name;
  std::optional<TValues> Original;  // WM_HINTS as the program set them
  bool OriginallyEnabled;
  TValues Restored;  // WM_HINTS after disabling and enabling again
};

void PrintTo(const THintsCase& c, std::ostream* out) { *out << c.Name; }

class XcbWindowsHintsTest : public XcbWindowsTest,
                            public testing::WithParamInterface<THintsCase> {};

// Disabling forces the input flag to false and leaves every other field alone; enabling
// gives back exactly what was there.
TEST_P(XcbWindowsHintsTest, DisableAndEnableRoundTripTheInputHint) {
  const THintsCase& c = GetParam();
  const xcb_window_t window = ManagedWindow(c.Name, c.Original);
  EXPECT_EQ(Windows->IsInputEnabled(window), c.OriginallyEnabled);

  Windows->SetInputEnabled(window, false);
  EXPECT_FALSE(Windows->IsInputEnabled(window));
  TValues disabled = c.Original.value_or(TValues(9, 0));
  disabled[0] |= InputHint;
  disabled[1] = 0;
  EXPECT_EQ(Hints(window), disabled);
  EXPECT_TRUE(Saved(window).has_value());

  Windows->SetInputEnabled(window, true);
  EXPECT_EQ(Windows->IsInputEnabled(window), c.OriginallyEnabled);
  EXPECT_EQ(Hints(window), c.Restored);
  EXPECT_FALSE(Saved(window).has_value());
}

const TValues GroupedInput = {
    InputHint | StateHint | WindowGroupHint, 1, NormalState, 0, 0, 0, 0, 0, 0x1234};
const TValues RefusesInput = {InputHint | StateHint, 0, NormalState, 0, 0, 0, 0, 0, 0};
const TValues StateOnly = {StateHint, 1, NormalState, 0, 0, 0, 0, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    Hints, XcbWindowsHintsTest,
    testing::Values(THintsCase{"NoHints", std::nullopt, true, TValues(9, 0)},
                    THintsCase{"InputAmongOtherHints", GroupedInput, true, GroupedInput},
                    THintsCase{"RefusesInput", RefusesInput, false, RefusesInput},
                    THintsCase{"InputFieldWithoutItsFlag", StateOnly, true, StateOnly}),
    [](const testing::TestParamInfo<THintsCase>& param) { return std::string(param.param.Name); });

TEST_F(XcbWindowsTest, NestedDisableKeepsTheOriginal) {
  const xcb_window_t window = ManagedWindow("nested", GroupedInput);
  Windows->SetInputEnabled(window, false);
  Windows->SetInputEnabled(window, false);
  Windows->SetInputEnabled(window, true);
  EXPECT_EQ(Hints(window), GroupedInput);
  EXPECT_TRUE(Windows->IsInputEnabled(window));
  EXPECT_FALSE(Saved(window).has_value());
}

TEST_F(XcbWindowsTest, EnablingAWindowNeverDisabledChangesNothing) {
  const xcb_window_t window = ManagedWindow("refuses", RefusesInput);
  Windows->SetInputEnabled(window, true);
  EXPECT_EQ(Hints(window), RefusesInput);
  EXPECT_FALSE(Windows->IsInputEnabled(window));
  EXPECT_FALSE(Saved(window).has_value());
}

// The backend may be called from several threads; the last enable must still find the
// original, never a false that another thread's disable wrote in between.
TEST_F(XcbWindowsTest, ConcurrentDisablesKeepTheOriginal) {
  const xcb_window_t window = ManagedWindow("shared", GroupedInput);
  const auto toggle = [&] {
    for (int i = 0; i < 25; ++i) {
      Windows->SetInputEnabled(window, false);
      Windows->SetInputEnabled(window, true);
    }
  };
  std::thread other(toggle);
  toggle();
  other.join();
  EXPECT_EQ(Hints(window), GroupedInput);
  EXPECT_FALSE(Saved(window).has_value());
}

TEST_F(XcbWindowsTest, RaiseToTopRestacksWithoutMoving) {
  const TValues windows = {ManagedWindow("one"), ManagedWindow("two"), ManagedWindow("three")};
  // The bottom one first, then whichever is bottom after that: each raise must change the
  // order.
  for (int round = 0; round < 2; ++round) {
    const xcb_window_t target = BottommostOf(windows);
    ASSERT_NE(target, XCB_WINDOW_NONE);
    ASSERT_NE(TopmostOf(windows), target);
    const TValues geometry = Client->Geometry(target);
    Windows->RaiseToTop(target);
    EXPECT_TRUE(Client->WaitFor([&] { return TopmostOf(windows) == target; })) << "round " << round;
    EXPECT_EQ(Client->Geometry(target), geometry);
  }
}

TEST_F(XcbWindowsTest, SetActiveGivesFocusToViewableWindowsOnly) {
  const xcb_window_t first = ManagedWindow("first");
  const xcb_window_t second = ManagedWindow("second");
  const xcb_window_t unmapped = Client->CreateWindow("unmapped", std::nullopt, false);
  for (const xcb_window_t target : {first, second}) {
    Windows->SetActive(target);
    EXPECT_EQ(Client->Focus(), target);
  }
  Windows->SetActive(unmapped);
  EXPECT_EQ(Client->Focus(), second);
}

TEST_F(XcbWindowsTest, GoneWindowsAreNoWindowsAndTakeOperationsHarmlessly) {
  const xcb_window_t live = ManagedWindow("live");
  const xcb_window_t gone = ManagedWindow("gone");
  Client->DestroyWindow(gone);
  // The window manager gives the focus elsewhere when it lets the window go; that must be
  // over before the focus is checked below.
  ASSERT_TRUE(Client->WaitUntilUnmanaged(gone));
  for (const TWindowHandle window :
       {TWindowHandle{gone}, TWindowHandle{0}, TWindowHandle{1} << 40}) {
    EXPECT_FALSE(Windows->IsWindow(window)) << window;
    EXPECT_FALSE(Windows->IsInputEnabled(window)) << window;
    Windows->SetInputEnabled(window, false);
    Windows->SetInputEnabled(window, true);
    Windows->RaiseToTop(window);
    Windows->SetForeground(window);
    Windows->SetActive(window);
  }
  // The connection came through intact.
  EXPECT_TRUE(Windows->IsWindow(live));
  Windows->SetActive(live);
  EXPECT_EQ(Client->Focus(), live);
}

TEST_F(XcbWindowsTest, OpenOwnsAConnectionOrFailsCleanly) {
  const xcb_window_t window = ManagedWindow("seen");
  std::unique_ptr<TXcbWindows> own = TXcbWindows::Open(Session->DisplayName());
  ASSERT_NE(own, nullptr);
  EXPECT_TRUE(own->IsWindow(window));
  own->SetForeground(window);
  EXPECT_TRUE(Client->WaitFor([&] { return own->ActiveWindow() == window; }));
  // No server listens there: Xvfb sessions take the lowest free numbers.
  EXPECT_EQ(TXcbWindows::Open(":65000"), nullptr);
}

}  // namespace
}  // namespace trs
