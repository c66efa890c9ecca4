#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Language texts used as formats take printf-style conversions: "%d" for an integer, "%s" for
// a text and "%%" for a percent sign; nothing else may follow a "%".
enum class FormatArgument
{
    Integer,
    Text
};

// The conversions of a format, in order; nullopt when the format holds any other conversion.
std::optional<QList<FormatArgument>> FormatArguments(const QString& format);

// The format with its conversions replaced by arguments in order (integers given as their
// decimal text). A pack's text cannot break the program: a conversion without an argument
// and any unknown conversion stay as they are written, and surplus arguments are ignored.
QString FormatLanguageText(const QString& format, const QStringList& arguments);
