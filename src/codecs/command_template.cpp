#include "codecs/command_template.h"

#include "foundation/command_line.h"

using namespace Qt::StringLiterals;

namespace {

constexpr QChar kPercent = u'%';

// The point goes three digits from the end, as the name says; trailing zeros of the fraction
// are dropped but one digit always follows the point: 44100 gives 44.1, 48000 gives 48.0,
// 22050 gives 22.05, 11025 gives 11.025, 8000 gives 8.0, 0 gives 0.0. Encoders that take a
// rate in kilohertz accept this form.
QString KilohertzText(qint32 sampleRate)
{
    const qint64 rate = sampleRate;
    const qint64 magnitude = rate < 0 ? -rate : rate;
    QString fraction = QString::number(magnitude % 1000).rightJustified(3, u'0');
    while (fraction.size() > 1 && fraction.endsWith(u'0'))
        fraction.chop(1);
    const QString sign = rate < 0 ? u"-"_s : QString();
    return sign + QString::number(magnitude / 1000) + u'.' + fraction;
}

} // namespace

bool ExpandTemplate(const QString& commandTemplate, QString& result, const TemplateValues& values)
{
    // One pass that appends: a library's plan expands a template per file.
    const QStringView text(commandTemplate);
    QString expanded;
    expanded.reserve(text.size() + values.inputPath.size() + values.outputPath.size() + 8);
    qsizetype position = 0;
    for (qsizetype open = text.indexOf(kPercent); open >= 0;
         open = text.indexOf(kPercent, position)) {
        const qsizetype close = text.indexOf(kPercent, open + 1);
        if (close < 0)
            return false;
        expanded.append(text.sliced(position, open - position));
        const QStringView token = text.sliced(open, close - open + 1);
        if (token == u"%orig_sr_hz%")
            expanded.append(QString::number(values.sampleRate));
        else if (token == u"%orig_sr_khz%")
            expanded.append(KilohertzText(values.sampleRate));
        else if (token == u"%in%")
            expanded.append(QuoteArgument(values.inputPath));
        else if (token == u"%out%")
            expanded.append(QuoteArgument(values.outputPath));
        else
            return false;
        position = close + 1;
    }
    expanded.append(text.sliced(position));
    result = std::move(expanded);
    return true;
}
