#pragma once

#include "foundation/notifier.h"

#include <QList>
#include <QString>
#include <memory>
#include <mutex>

// Records what the program would have shown the user; installed for the life of the object.
class NotifierRecorder
{
public:
    struct Message
    {
        INotifier::Icon icon;
        QString caption;
        QString text;
        bool question = false;
    };

    NotifierRecorder();
    ~NotifierRecorder();
    NotifierRecorder(const NotifierRecorder&) = delete;
    NotifierRecorder& operator=(const NotifierRecorder&) = delete;

    QList<Message> Messages() const;
    int Count() const;
    // What every later question is answered; yes until told otherwise.
    void SetAnswer(bool yes);

private:
    class CRecorder;
    std::shared_ptr<CRecorder> recorder;
    std::shared_ptr<INotifier> previous;
};
