// X11 window operations for the dialog runner, on xcb: EWMH client messages to the window
// manager, ICCCM WM_HINTS for disabling, and plain core requests for stacking and focus.
#include "shell/XcbWindows.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace trs {
namespace {

// ICCCM WM_HINTS: flags, input, initial state, icon pixmap, icon window, icon x, icon y,
// icon mask, window group. Xlib takes a shorter property for no hints at all, so a
// property we write always has every field.
constexpr size_t HintFieldCount = 9;
constexpr std::uint32_t InputHint = 1;  // the flags bit that says the input field is set
constexpr size_t HintFlags = 0;
constexpr size_t HintInput = 1;

// The saved value: whether the input flag was set, and the input field as it was.
constexpr size_t SavedFieldCount = 2;

// EWMH: a request from a pager or taskbar (which window managers honour as the user's
// wish), and the stacking detail Above.
constexpr std::uint32_t SourcePager = 2;
constexpr std::uint32_t DetailAbove = 0;

using TValues = std::vector<std::uint32_t>;

// A request's error, if any, comes back here instead of landing in the event queue of
// whoever reads the connection's events.
bool Succeeded(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
  xcb_generic_error_t* error = xcb_request_check(connection, cookie);
  std::free(error);
  return error == nullptr;
}

bool ToWindow(TWindowHandle handle, xcb_window_t& window) {
  if (handle == 0 || handle > UINT32_MAX) return false;
  window = static_cast<xcb_window_t>(handle);
  return true;
}

xcb_atom_t InternAtomReply(xcb_connection_t* connection, xcb_intern_atom_cookie_t cookie) {
  xcb_generic_error_t* error = nullptr;
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, &error);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  std::free(error);
  return atom;
}

// Reads a 32-bit property of `window` into `values` (empty when the window lacks it or
// holds it in another format) and its type into `type`; false when the window is gone.
bool ReadProperty32(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                    TValues& values, xcb_atom_t* type = nullptr) {
  values.clear();
  // Enough for every property read here; a longer one keeps only what fits.
  constexpr std::uint32_t MaxLongs = 64;
  xcb_generic_error_t* error = nullptr;
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      connection,
      xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, MaxLongs),
      &error);
  std::free(error);
  if (reply == nullptr) return false;
  if (type != nullptr) *type = reply->type;
  if (reply->format == 32) {
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    values.assign(data, data + xcb_get_property_value_length(reply) / 4);
  }
  std::free(reply);
  return true;
}

bool WriteProperty32(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                     xcb_atom_t type, const TValues& values) {
  return Succeeded(connection, xcb_change_property_checked(
                                   connection, XCB_PROP_MODE_REPLACE, window, property, type, 32,
                                   static_cast<std::uint32_t>(values.size()), values.data()));
}

bool IsViewable(xcb_connection_t* connection, xcb_window_t window) {
  xcb_generic_error_t* error = nullptr;
  xcb_get_window_attributes_reply_t* reply = xcb_get_window_attributes_reply(
      connection, xcb_get_window_attributes(connection, window), &error);
  std::free(error);
  const bool viewable = reply != nullptr && reply->map_state == XCB_MAP_STATE_VIEWABLE;
  std::free(reply);
  return viewable;
}

}  // namespace

TXcbWindows::TXcbWindows(xcb_connection_t* connection, int screenNumber)
    : TXcbWindows(connection, screenNumber, false) {}

TXcbWindows::TXcbWindows(xcb_connection_t* connection, int screenNumber, bool ownsConnection)
    : Connection(connection), OwnsConnection(ownsConnection) {
  if (Connection == nullptr || xcb_connection_has_error(Connection) != 0 || screenNumber < 0)
    return;
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(Connection));
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0) return;

  // All three requests go out before the first reply is awaited: one round trip.
  const auto intern = [this](const char* name) {
    return xcb_intern_atom(Connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  };
  const xcb_intern_atom_cookie_t activeWindow = intern("_NET_ACTIVE_WINDOW");
  const xcb_intern_atom_cookie_t restackWindow = intern("_NET_RESTACK_WINDOW");
  const xcb_intern_atom_cookie_t savedInput = intern("_TALLYREPORTSRV_SAVED_INPUT");
  AtomNetActiveWindow = InternAtomReply(Connection, activeWindow);
  AtomNetRestackWindow = InternAtomReply(Connection, restackWindow);
  AtomSavedInput = InternAtomReply(Connection, savedInput);
  if (AtomNetActiveWindow != XCB_ATOM_NONE && AtomNetRestackWindow != XCB_ATOM_NONE &&
      AtomSavedInput != XCB_ATOM_NONE)
    Root = screens.data->root;
}

std::unique_ptr<TXcbWindows> TXcbWindows::Open(const std::string& displayName) {
  int screenNumber = 0;
  xcb_connection_t* connection =
      xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), &screenNumber);
  // A failed connection is still an object that xcb_disconnect must free.
  if (xcb_connection_has_error(connection) != 0) {
    xcb_disconnect(connection);
    return nullptr;
  }
  return std::unique_ptr<TXcbWindows>(new TXcbWindows(connection, screenNumber, true));
}

TXcbWindows::~TXcbWindows() {
  if (OwnsConnection) xcb_disconnect(Connection);
}

TWindowHandle TXcbWindows::ActiveWindow() {
  if (Root == 0) return 0;
  TValues values;
  if (!ReadProperty32(Connection, Root, AtomNetActiveWindow, values) || values.empty()) return 0;
  return values[0];
}

bool TXcbWindows::IsWindow(TWindowHandle handle) {
  xcb_window_t window = 0;
  if (Root == 0 || !ToWindow(handle, window)) return false;
  xcb_generic_error_t* error = nullptr;
  xcb_get_window_attributes_reply_t* reply = xcb_get_window_attributes_reply(
      Connection, xcb_get_window_attributes(Connection, window), &error);
  std::free(error);
  std::free(reply);
  return reply != nullptr;
}

void TXcbWindows::SetInputEnabled(TWindowHandle handle, bool enable) {
  xcb_window_t window = 0;
  if (Root == 0 || !ToWindow(handle, window)) return;
  TLockGuard lock(InputLock);
  TValues saved;
  TValues hints;
  xcb_atom_t hintsType = XCB_ATOM_NONE;
  if (!ReadProperty32(Connection, window, AtomSavedInput, saved) ||
      !ReadProperty32(Connection, window, XCB_ATOM_WM_HINTS, hints, &hintsType))
    return;
  const bool disabledByUs = saved.size() >= SavedFieldCount;
  if (hints.size() <= HintInput) hints.clear();  // no usable hints: as if there were none
  if (enable && !disabledByUs) return;
  if (!disabledByUs) {
    const TValues original = {
        hints.empty() ? 0 : (hints[HintFlags] & InputHint),
        hints.empty() ? 0 : hints[HintInput],
    };
    // Saved before the hints change, so that no state exists in which the window is
    // disabled while its original is lost.
    if (!WriteProperty32(Connection, window, AtomSavedInput, XCB_ATOM_CARDINAL, original)) return;
  }
  if (hints.size() < HintFieldCount) hints.resize(HintFieldCount, 0);
  const bool inputFlag = enable ? saved[0] != 0 : true;
  hints[HintFlags] = inputFlag ? hints[HintFlags] | InputHint : hints[HintFlags] & ~InputHint;
  hints[HintInput] = enable ? saved[1] : 0;
  if (hintsType == XCB_ATOM_NONE) hintsType = XCB_ATOM_WM_HINTS;
  if (!WriteProperty32(Connection, window, XCB_ATOM_WM_HINTS, hintsType, hints)) return;
  if (enable)
    Succeeded(Connection, xcb_delete_property_checked(Connection, window, AtomSavedInput));
}

bool TXcbWindows::IsInputEnabled(TWindowHandle handle) {
  xcb_window_t window = 0;
  if (Root == 0 || !ToWindow(handle, window)) return false;
  TValues hints;
  if (!ReadProperty32(Connection, window, XCB_ATOM_WM_HINTS, hints)) return false;
  // Without the input flag, window managers assume the window takes input.
  if (hints.size() <= HintInput || (hints[HintFlags] & InputHint) == 0) return true;
  return hints[HintInput] != 0;
}

void TXcbWindows::RaiseToTop(TWindowHandle handle) {
  xcb_window_t window = 0;
  if (Root == 0 || !ToWindow(handle, window)) return;
  // Without a window manager this restacks at once; a reparenting one gets it as a
  // ConfigureRequest. Some window managers ignore such requests from applications but
  // honour the same wish from a pager, so that is asked too; doing both is harmless.
  const std::uint32_t stackMode = XCB_STACK_MODE_ABOVE;
  if (!Succeeded(Connection, xcb_configure_window_checked(
                                 Connection, window, XCB_CONFIG_WINDOW_STACK_MODE, &stackMode)))
    return;
  SendToWindowManager(window, AtomNetRestackWindow, SourcePager, XCB_WINDOW_NONE, DetailAbove);
}

void TXcbWindows::SetForeground(TWindowHandle handle) {
  xcb_window_t window = 0;
  if (Root == 0 || !ToWindow(handle, window)) return;
  SendToWindowManager(window, AtomNetActiveWindow, SourcePager, XCB_CURRENT_TIME, XCB_WINDOW_NONE);
}

void TXcbWindows::SetActive(TWindowHandle handle) {
  xcb_window_t window = 0;
  if (Root == 0 || !ToWindow(handle, window)) return;
  // Focusing a window that is not viewable is a BadMatch. It can still become unviewable
  // between the two requests; that error is swallowed like any other.
  if (!IsViewable(Connection, window)) return;
  Succeeded(Connection, xcb_set_input_focus_checked(Connection, XCB_INPUT_FOCUS_PARENT, window,
                                                    XCB_CURRENT_TIME));
}

void TXcbWindows::SendToWindowManager(std::uint32_t window, std::uint32_t type, std::uint32_t data0,
                                      std::uint32_t data1, std::uint32_t data2) {
  xcb_client_message_event_t message{};
  static_assert(sizeof message == 32, "X events are 32 bytes on the wire");
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = type;
  message.data.data32[0] = data0;
  message.data.data32[1] = data1;
  message.data.data32[2] = data2;
  Succeeded(Connection, xcb_send_event_checked(Connection, 0, Root,
                                               XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY |
                                                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                                               reinterpret_cast<const char*>(&message)));
}

}  // namespace trs
