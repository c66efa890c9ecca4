#pragma once

#include <QDBusConnection>
#include <optional>

// The desktop's buses, where they are there. A server or a container has none: asking for one
// anyway would start D-Bus's thread for nothing, or have the bus library try to launch a bus of
// its own. Then there is none, and D-Bus is never touched.
std::optional<QDBusConnection> SystemBusIfThere();
std::optional<QDBusConnection> SessionBusIfThere();
