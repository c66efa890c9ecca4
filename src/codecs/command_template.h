#pragma once

#include <QString>
#include <QtGlobal>

// The values of one run that fill a command-line template.
struct TemplateValues
{
    QString inputPath;
    QString outputPath;
    qint32 sampleRate = 0; // hertz; 0 when the source reports none
    qint32 channels = 0;   // carried along; no placeholder uses it
};

// Replaces "%in%", "%out%", "%orig_sr_hz%" and "%orig_sr_khz%" in `commandTemplate`. Text put
// in is never scanned again. Any other "%...%" or an unclosed "%" fails the expansion: false,
// and `result` keeps what it held.
bool ExpandTemplate(const QString& commandTemplate, QString& result, const TemplateValues& values);
