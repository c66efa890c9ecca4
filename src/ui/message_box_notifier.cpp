#include "ui/message_box_notifier.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace {

QMessageBox::Icon BoxIcon(INotifier::Icon icon)
{
    switch (icon) {
    case INotifier::Icon::Error:
        return QMessageBox::Critical;
    case INotifier::Icon::Warning:
        return QMessageBox::Warning;
    case INotifier::Icon::Information:
        break;
    }
    return QMessageBox::Information;
}

void ShowBox(INotifier::Icon icon, const QString& caption, const QString& text)
{
    QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

} // namespace

void CMessageBoxNotifier::Notify(Icon icon, const QString& caption, const QString& text)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return;
    }
    if (QThread::currentThread() == app->thread()) {
        ShowBox(icon, caption, text);
        return;
    }
    // Widgets live on the user-interface thread only; a worker must not wait for the user.
    QMetaObject::invokeMethod(
        app, [icon, caption, text] { ShowBox(icon, caption, text); }, Qt::QueuedConnection);
}

bool CMessageBoxNotifier::Confirm(const QString& caption, const QString& text)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        return false;
    }
    // No is the default: pressing Enter must not replace anything.
    return QMessageBox::question(QApplication::activeWindow(), caption, text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}
