#include "engine/error_box.h"

#include "engine/notifier.h"
#include "extensions/language_pack.h"
#include "foundation/os.h"

namespace {

// The system's messages are read through a buffer of 1024 characters.
constexpr qsizetype kMaxSystemMessageLength = 1023;

} // namespace

void ShowError(const QString& text)
{
    CurrentNotifier()->Notify(INotifier::Icon::Error,
                              CLanguagePack::Instance().GetString(kErrorCaptionStringId), text);
}

void ShowLastError()
{
    ShowLastError(os::ErrorText(os::LastError()));
}

void ShowLastError(const QString& systemMessage)
{
    ShowError(systemMessage.left(kMaxSystemMessageLength));
}
