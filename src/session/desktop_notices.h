#pragma once

#include <QDBusConnection>
#include <QString>
#include <QVariantMap>
#include <optional>

// What the desktop shows of a run outside orvel's own window, on the session bus; without a
// bus, or without a service that listens, nothing is shown and nothing fails. Nothing waits
// for an answer.
class CDesktopNotices
{
public:
    // The desktop's session bus where it is there.
    CDesktopNotices();
    explicit CDesktopNotices(std::optional<QDBusConnection> sessionBus);

    // A notification (org.freedesktop.Notifications); an urgent one stays until dismissed.
    void Notify(const QString& summary, const QString& body, bool urgent);

    // The launcher entry's progress (com.canonical.Unity.LauncherEntry, which docks and task
    // managers read): a fraction from 0 to 1 and the count of files left; Clear hides both.
    void ShowLauncherProgress(double fraction, qint64 left);
    void ClearLauncherProgress();

    // The object path the launcher signal comes from, and the desktop entry it names.
    static constexpr char kLauncherPath[] = "/com/canonical/unity/launcherentry/orvel";
    static constexpr char kLauncherEntry[] = "application://orvel.desktop";

private:
    void SendLauncherUpdate(const QVariantMap& properties);

    std::optional<QDBusConnection> bus;
};
