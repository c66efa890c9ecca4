#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QString>
#include <optional>

// Keeps the machine awake while a run goes on: logind's "sleep:idle" block inhibitor on the
// system bus, else the desktop screen saver's inhibition on the session bus. logind's is a
// file descriptor, so the kernel releases it when the program dies; the screen saver drops
// an inhibition when its client leaves the bus. Where neither bus answers (a server, a
// container) nothing is held and nothing fails.
class CSleepInhibitor
{
public:
    enum class Holder
    {
        None,
        Logind,
        ScreenSaver,
    };

    // The buses asked: the system's for logind, the session's for the screen saver.
    // The desktop's buses where they are there.
    CSleepInhibitor();
    CSleepInhibitor(std::optional<QDBusConnection> system, std::optional<QDBusConnection> session);
    CSleepInhibitor(const CSleepInhibitor&) = delete;
    CSleepInhibitor& operator=(const CSleepInhibitor&) = delete;
    ~CSleepInhibitor() { Release(); }

    // Takes an inhibitor unless one is held; says who holds it (None: nobody could).
    Holder Acquire(const QString& why);
    void Release();
    Holder HeldBy() const { return holder; }

    // How long a bus may take to answer before the run goes on without it.
    static constexpr int kCallTimeoutMs = 2000;

private:
    bool TakeLogind(const QString& why);
    bool TakeScreenSaver(const QString& why);

    std::optional<QDBusConnection> systemBus;
    std::optional<QDBusConnection> sessionBus;
    Holder holder = Holder::None;
    QDBusUnixFileDescriptor logindLock;
    quint32 screenSaverCookie = 0;
};
