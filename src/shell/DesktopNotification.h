// A desktop notification (the freedesktop.org notification service on the session bus),
// for what the user should learn although the program has no window to show it in.
#pragma once

#include <QString>

namespace trs {

// Sends the notification without waiting for the service; false when there is no session
// bus or no notification service on it (the caller has logged the text anyway).
bool SendDesktopNotification(const QString& summary, const QString& body);

}  // namespace trs
