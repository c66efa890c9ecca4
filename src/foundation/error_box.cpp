#include "foundation/error_box.h"

#include "foundation/notifier.h"
#include "foundation/os.h"

namespace {

// The system's messages are read through a buffer of 1024 characters.
constexpr qsizetype kMaxSystemMessageLength = 1023;

} // namespace

void ShowError(const QString& caption, const QString& text)
{
    CurrentNotifier()->Notify(INotifier::Icon::Error, caption, text);
}

void ShowLastError(const QString& caption)
{
    ShowLastError(caption, os::ErrorText(os::LastError()));
}

void ShowLastError(const QString& caption, const QString& systemMessage)
{
    ShowError(caption, systemMessage.left(kMaxSystemMessageLength));
}
