#include "foundation/notifier.h"

#include <QDebug>
#include <mutex>

namespace {

class CStandardErrorNotifier : public INotifier
{
public:
    void Notify(Icon, const QString& caption, const QString& text) override
    {
        qWarning().noquote() << caption << u':' << text;
    }

    // Nobody is there to answer: the cautious answer stands.
    bool Confirm(const QString& caption, const QString& text) override
    {
        Notify(Icon::Warning, caption, text);
        return false;
    }
};

std::mutex notifierLock;
std::shared_ptr<INotifier> installed;

} // namespace

std::shared_ptr<INotifier> InstallNotifier(std::shared_ptr<INotifier> notifier)
{
    std::lock_guard guard(notifierLock);
    std::swap(installed, notifier);
    return notifier;
}

std::shared_ptr<INotifier> CurrentNotifier()
{
    std::lock_guard guard(notifierLock);
    if (!installed)
        installed = std::make_shared<CStandardErrorNotifier>();
    return installed;
}
