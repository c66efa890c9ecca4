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
    QString work = commandTemplate;
    qsizetype position = 0;
    while (position < work.size()) {
        if (work[position] != kPercent) {
            ++position;
            continue;
        }
        const qsizetype close = work.indexOf(kPercent, position + 1);
        if (close < 0)
            return false;
        const QString token = work.mid(position, close - position + 1);
        work.remove(position, token.size());

        QString replacement;
        if (token == u"%orig_sr_hz%"_s)
            replacement = QString::number(values.sampleRate);
        else if (token == u"%orig_sr_khz%"_s)
            replacement = KilohertzText(values.sampleRate);
        else if (token == u"%in%"_s)
            replacement = QuoteArgument(values.inputPath);
        else if (token == u"%out%"_s)
            replacement = QuoteArgument(values.outputPath);
        else
            return false;
        work.insert(position, replacement);
        position += replacement.size();
    }
    result = work;
    return true;
}
