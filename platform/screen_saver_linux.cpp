#include "platform/screen_saver.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QString>

namespace vostrel::platform {

namespace {
const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
constexpr int kTimeoutMs = 500;

// The session bus, when it has the screen saver service (asked once).
bool ServiceAvailable() {
  static const bool available = [] {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return false;
    return bus.interface()->isServiceRegistered(kService).value();
  }();
  return available;
}
}  // namespace

void ScreenSaverInhibitor::Inhibit() {
  if (inhibited_) return;
  inhibited_ = true;
  if (!ServiceAvailable()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Inhibit"));
  call << QStringLiteral("Vostrel") << QStringLiteral("コンパイル中");
  const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kTimeoutMs);
  if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
    cookie_ = reply.arguments().front().toUInt();
    haveCookie_ = true;
  }
}

void ScreenSaverInhibitor::Allow() {
  if (!inhibited_) return;
  inhibited_ = false;
  if (!haveCookie_) return;
  haveCookie_ = false;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("UnInhibit"));
  call << cookie_;
  QDBusConnection::sessionBus().call(call, QDBus::Block, kTimeoutMs);
}

}  // namespace vostrel::platform
