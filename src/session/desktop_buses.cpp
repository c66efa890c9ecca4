#include "session/desktop_buses.h"

#include <QFileInfo>
#include <QtGlobal>

using namespace Qt::StringLiterals;

std::optional<QDBusConnection> SystemBusIfThere()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS") &&
        !QFileInfo::exists(u"/run/dbus/system_bus_socket"_s))
        return std::nullopt;
    return QDBusConnection::systemBus();
}

std::optional<QDBusConnection> SessionBusIfThere()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        !QFileInfo::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + u"/bus"_s))
        return std::nullopt;
    return QDBusConnection::sessionBus();
}
