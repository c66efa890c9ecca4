#pragma once

#include "extensions/language_pack.h"
#include "support/test_paths.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

// The shipped English pack, loaded once for every window test.
inline CLanguagePack& EnglishPack()
{
    CLanguagePack& pack = CLanguagePack::Instance();
    if (pack.CurrentName() != QStringLiteral("English") || !pack.IsLoaded()) {
        pack.SetDefaults(QStringLiteral("English"), QStringLiteral("Languages"));
        EXPECT_TRUE(pack.LoadLanguage(SourceTreePath(QStringLiteral("data/Languages/English.json")),
                                      QStringLiteral("English")));
    }
    return pack;
}

// Runs action on the modal window of the given object name as soon as it is shown.
inline void WhenModalShown(const QString& objectName, std::function<void(QWidget*)> action)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, objectName, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->objectName() == objectName && modal->isVisible()) {
            poll->stop();
            poll->deleteLater();
            action(modal);
        }
    });
    poll->start();
}

// Counts how often a window of the given object name is shown, however briefly: a run that
// ends at once opens and closes its window within one turn of the loop.
class CShowCounter : public QObject
{
public:
    explicit CShowCounter(const QString& name) : objectName(name)
    {
        QApplication::instance()->installEventFilter(this);
    }
    int Count() const { return count; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->objectName() == objectName)
            ++count;
        return false;
    }

private:
    QString objectName;
    int count = 0;
};
