// Desktop notifications through org.freedesktop.Notifications.
#include "shell/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace trs {

namespace {

const QString NotificationService = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

bool SendDesktopNotification(const QString& summary, const QString& body) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || bus.interface() == nullptr) return false;
  if (!bus.interface()->isServiceRegistered(NotificationService).value()) return false;
  QDBusMessage notify = QDBusMessage::createMethodCall(
      NotificationService, QStringLiteral("/org/freedesktop/Notifications"), NotificationService,
      QStringLiteral("Notify"));
  // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the
  // server's default).
  notify << summary << 0u << QStringLiteral("printer") << summary << body << QStringList()
         << QVariantMap() << -1;
  return bus.send(notify);
}

}  // namespace trs
