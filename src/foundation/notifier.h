#pragma once

#include <QString>
#include <functional>
#include <memory>

// How the core tells the user something: the UI installs a message box, tests a recorder.
// Without an installed notifier messages go to standard error.
class INotifier
{
public:
    enum class Icon
    {
        Error,
        Warning,
        Information
    };
    virtual ~INotifier() = default;
    virtual void Notify(Icon icon, const QString& caption, const QString& text) = 0;
    // A yes-or-no question; true only when the user answers yes.
    virtual bool Confirm(const QString& caption, const QString& text) = 0;
};

// Installs the program-wide notifier (null restores the default) and returns the previous one.
std::shared_ptr<INotifier> InstallNotifier(std::shared_ptr<INotifier> notifier);
std::shared_ptr<INotifier> CurrentNotifier();
