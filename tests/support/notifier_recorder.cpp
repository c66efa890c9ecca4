#include "notifier_recorder.h"

class NotifierRecorder::CRecorder : public INotifier
{
public:
    void Notify(Icon icon, const QString& caption, const QString& text) override
    {
        std::lock_guard guard(lock);
        messages.append({icon, caption, text});
    }

    mutable std::mutex lock;
    QList<Message> messages;
};

NotifierRecorder::NotifierRecorder() : recorder(std::make_shared<CRecorder>())
{
    previous = InstallNotifier(recorder);
}

NotifierRecorder::~NotifierRecorder()
{
    InstallNotifier(previous);
}

QList<NotifierRecorder::Message> NotifierRecorder::Messages() const
{
    std::lock_guard guard(recorder->lock);
    return recorder->messages;
}

int NotifierRecorder::Count() const
{
    return int(Messages().size());
}
