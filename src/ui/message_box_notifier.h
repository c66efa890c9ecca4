#pragma once

#include "foundation/notifier.h"

// Shows what the program tells the user in a message box over the active window. Messages
// from other threads are shown on the user-interface thread without waiting for the user.
class CMessageBoxNotifier : public INotifier
{
public:
    void Notify(Icon icon, const QString& caption, const QString& text) override;
    // Asked on the user-interface thread only; from another thread the answer is no.
    bool Confirm(const QString& caption, const QString& text) override;
};
