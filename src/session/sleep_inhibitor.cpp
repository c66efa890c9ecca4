#include "session/sleep_inhibitor.h"

#include "session/desktop_buses.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

using namespace Qt::StringLiterals;

namespace {

const QString kApplication = u"orvel"_s;

} // namespace

CSleepInhibitor::CSleepInhibitor() : CSleepInhibitor(SystemBusIfThere(), SessionBusIfThere())
{
}

CSleepInhibitor::CSleepInhibitor(std::optional<QDBusConnection> system,
                                 std::optional<QDBusConnection> session)
    : systemBus(std::move(system)), sessionBus(std::move(session))
{
}

CSleepInhibitor::Holder CSleepInhibitor::Acquire(const QString& why)
{
    if (holder != Holder::None)
        return holder;
    if (TakeLogind(why))
        holder = Holder::Logind;
    else if (TakeScreenSaver(why))
        holder = Holder::ScreenSaver;
    return holder;
}

bool CSleepInhibitor::TakeLogind(const QString& why)
{
    if (!systemBus || !systemBus->isConnected())
        return false;
    QDBusInterface manager(u"org.freedesktop.login1"_s, u"/org/freedesktop/login1"_s,
                           u"org.freedesktop.login1.Manager"_s, *systemBus);
    manager.setTimeout(kCallTimeoutMs);
    const QDBusReply<QDBusUnixFileDescriptor> reply =
        manager.call(u"Inhibit"_s, u"sleep:idle"_s, kApplication, why, u"block"_s);
    if (!reply.isValid() || !reply.value().isValid())
        return false;
    logindLock = reply.value();
    return true;
}

bool CSleepInhibitor::TakeScreenSaver(const QString& why)
{
    if (!sessionBus || !sessionBus->isConnected())
        return false;
    QDBusInterface saver(u"org.freedesktop.ScreenSaver"_s, u"/org/freedesktop/ScreenSaver"_s,
                         u"org.freedesktop.ScreenSaver"_s, *sessionBus);
    saver.setTimeout(kCallTimeoutMs);
    const QDBusReply<quint32> reply = saver.call(u"Inhibit"_s, kApplication, why);
    if (!reply.isValid())
        return false;
    screenSaverCookie = reply.value();
    return true;
}

void CSleepInhibitor::Release()
{
    if (holder == Holder::Logind) {
        // The inhibitor ends when the last copy of its descriptor is closed.
        logindLock = QDBusUnixFileDescriptor();
    } else if (holder == Holder::ScreenSaver) {
        QDBusInterface saver(u"org.freedesktop.ScreenSaver"_s, u"/org/freedesktop/ScreenSaver"_s,
                             u"org.freedesktop.ScreenSaver"_s, *sessionBus);
        saver.setTimeout(kCallTimeoutMs);
        saver.call(QDBus::NoBlock, u"UnInhibit"_s, screenSaverCookie);
    }
    holder = Holder::None;
}
