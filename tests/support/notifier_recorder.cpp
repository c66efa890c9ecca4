#include "notifier_recorder.h"

class NotifierRecorder::CRecorder : public INotifier
{
public:
    void Notify(Icon icon, const QString& caption, const QString& text) override
    {
        std::lock_guard guard(lock);
        messages.append({icon, caption, text});
    }

    bool Confirm(const QString& caption, const QString& text) override
    {
        std::lock_guard guard(lock);
        messages.append({Icon::Warning, caption, text, true});
        return answer;
    }

    mutable std::mutex lock;
    QList<Message> messages;
    bool answer = true;
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

void NotifierRecorder::SetAnswer(bool yes)
{
    std::lock_guard guard(recorder->lock);
    recorder->answer = yes;
}
