// Which of the session's displays the toolkit can really open, found before the toolkit is
// started: a display variable that names a display no longer there (a stale DISPLAY over
// ssh, a service's inherited environment) would otherwise end the program inside the
// toolkit's start-up, without a service.
#pragma once

#include <string>

namespace trs {

struct TDisplayChoice {
  // The toolkit's platform to start ("xcb" or "wayland"), or the one the environment
  // already names (QT_QPA_PLATFORM); empty when no display can be reached.
  std::string Platform;
  // Why there is no display, for the log (empty when there is one).
  std::string Problem;
};

// X11 comes first when both are reachable: the dialog runner's window operations speak X11.
// A platform named in QT_QPA_PLATFORM is kept; when it names X11 or Wayland, that display
// must be reachable all the same.
TDisplayChoice ChooseDisplay();

}  // namespace trs
