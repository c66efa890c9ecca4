#include "session/desktop_notices.h"

#include "session/desktop_buses.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

using namespace Qt::StringLiterals;

namespace {

// The notification's urgency hint: 1 normal, 2 critical.
constexpr uchar kNormal = 1;
constexpr uchar kCritical = 2;

} // namespace

CDesktopNotices::CDesktopNotices() : CDesktopNotices(SessionBusIfThere())
{
}

CDesktopNotices::CDesktopNotices(std::optional<QDBusConnection> sessionBus)
    : bus(std::move(sessionBus))
{
}

void CDesktopNotices::Notify(const QString& summary, const QString& body, bool urgent)
{
    if (!bus || !bus->isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        u"org.freedesktop.Notifications"_s, u"/org/freedesktop/Notifications"_s,
        u"org.freedesktop.Notifications"_s, u"Notify"_s);
    const QVariantMap hints{{u"urgency"_s, QVariant::fromValue(urgent ? kCritical : kNormal)},
                            {u"desktop-entry"_s, u"orvel"_s}};
    // An urgent notice never expires by itself; -1 leaves others to the server's default.
    call << u"orvel"_s << quint32(0) << u"orvel"_s << summary << body << QStringList() << hints
         << qint32(urgent ? 0 : -1);
    bus->send(call);
}

void CDesktopNotices::ShowLauncherProgress(double fraction, qint64 left)
{
    SendLauncherUpdate({{u"progress"_s, qBound(0.0, fraction, 1.0)},
                        {u"progress-visible"_s, true},
                        {u"count"_s, left},
                        {u"count-visible"_s, left > 0}});
}

void CDesktopNotices::ClearLauncherProgress()
{
    SendLauncherUpdate({{u"progress-visible"_s, false}, {u"count-visible"_s, false}});
}

void CDesktopNotices::SendLauncherUpdate(const QVariantMap& properties)
{
    if (!bus || !bus->isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kLauncherPath), u"com.canonical.Unity.LauncherEntry"_s, u"Update"_s);
    signal << QString::fromLatin1(kLauncherEntry) << properties;
    bus->send(signal);
}
