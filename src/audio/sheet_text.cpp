#include "audio/sheet_text.h"

#include <QStringDecoder>
#include <memory>
#include <optional>
#include <type_traits>
#include <uchardet/uchardet.h>
#include <unicode/ucnv.h>

using namespace Qt::StringLiterals;

namespace {

struct Marked
{
    QByteArrayView mark;
    QStringConverter::Encoding encoding;
    const char* name;
};

std::optional<SheetText> FromByteOrderMark(const QByteArray& bytes)
{
    static const Marked marks[] = {
        {"\xEF\xBB\xBF", QStringConverter::Utf8, "UTF-8"},
        {"\xFF\xFE", QStringConverter::Utf16LE, "UTF-16LE"},
        {"\xFE\xFF", QStringConverter::Utf16BE, "UTF-16BE"},
    };
    for (const Marked& marked : marks) {
        if (!bytes.startsWith(marked.mark))
            continue;
        QStringDecoder decoder(marked.encoding, QStringConverter::Flag::Default);
        return SheetText{decoder(bytes.mid(marked.mark.size())), QString::fromLatin1(marked.name)};
    }
    return std::nullopt;
}

std::optional<SheetText> FromValidUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return SheetText{text, u"UTF-8"_s};
}

QString DetectedEncoding(const QByteArray& bytes)
{
    const std::unique_ptr<std::remove_pointer_t<uchardet_t>, decltype(&uchardet_delete)> detector(
        uchardet_new(), &uchardet_delete);
    if (!detector || uchardet_handle_data(detector.get(), bytes.constData(), bytes.size()) != 0)
        return {};
    uchardet_data_end(detector.get());
    const QString found = QString::fromLatin1(uchardet_get_charset(detector.get()));
    // ASCII alone says nothing about the rest of a library; Windows-1252 reads it the same.
    return found.compare(u"ASCII"_s, Qt::CaseInsensitive) == 0 ? QString() : found;
}

// ICU's converters: every code page a sheet may come in, whatever Qt was built with.
std::optional<QString> Converted(const QByteArray& bytes, const QString& encoding)
{
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(
        ucnv_open(encoding.toLatin1().constData(), &status), &ucnv_close);
    if (U_FAILURE(status) || !converter)
        return std::nullopt;
    QString text(bytes.size() * 2 + 1, Qt::Uninitialized);
    const int32_t length =
        ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(text.data()), int32_t(text.size()),
                      bytes.constData(), int32_t(bytes.size()), &status);
    if (U_FAILURE(status))
        return std::nullopt;
    text.truncate(length);
    return text;
}

} // namespace

SheetText DecodeSheetText(const QByteArray& bytes, const QString& encoding)
{
    if (!encoding.isEmpty()) {
        if (std::optional<QString> text = Converted(bytes, encoding))
            return {*text, encoding};
    }
    if (std::optional<SheetText> marked = FromByteOrderMark(bytes))
        return *marked;
    if (std::optional<SheetText> utf8 = FromValidUtf8(bytes))
        return *utf8;
    QString guess = DetectedEncoding(bytes);
    if (guess.isEmpty())
        guess = u"windows-1252"_s;
    if (std::optional<QString> text = Converted(bytes, guess))
        return {*text, guess};
    return {QString::fromLatin1(bytes), u"ISO-8859-1"_s};
}
