#include "ui/main_window_status.h"

#include "extensions/language_pack.h"
#include "report/time_estimate.h"
#include "ui/main_window_texts.h"
#include "ui/ui_texts.h"

#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

QString FileStateText(FileState state, const CLanguagePack& language)
{
    switch (state) {
    case FileState::NotPlanned:
    case FileState::Planned:
        break;
    case FileState::LeftOut:
        return LanguageTextOr(language, StatusText::kLeftOut, u"Left out"_s);
    case FileState::UpToDate:
        return LanguageTextOr(language, StatusText::kUpToDate, u"Up to date"_s);
    case FileState::Queued:
        return LanguageTextOr(language, StatusText::kWaiting, u"Waiting"_s);
    case FileState::Decoding:
        return LanguageTextOr(language, StatusText::kDecoding, u"Decoding"_s);
    case FileState::Coding:
        return LanguageTextOr(language, StatusText::kCoding, u"Encoding"_s);
    case FileState::Held:
        return LanguageTextOr(language, StatusText::kHeld, u"Waiting for its album"_s);
    case FileState::Converted:
        return LanguageTextOr(language, StatusText::kConverted, u"Converted"_s);
    case FileState::Failed:
        return LanguageTextOr(language, StatusText::kFailed, u"Failed"_s);
    case FileState::Stopped:
        return LanguageTextOr(language, StatusText::kStopped, u"Stopped"_s);
    }
    return QString();
}

QString RunSummaryText(const SessionCounts& counts, qint64 elapsedMs, const QString& endedAt,
                       const CLanguagePack& language)
{
    QString text = LanguageTextOr(language, StatusText::kSummary,
                                  u"Last run, ended %1 after %2: %3 converted, %4 failed, "
                                  u"%5 left out, %6 up to date."_s)
                       .arg(endedAt, FormatDuration(elapsedMs))
                       .arg(counts.converted)
                       .arg(counts.failed)
                       .arg(counts.leftOut)
                       .arg(counts.upToDate);
    // Sources a copy rule copied as they are count among the converted ones.
    constexpr int kSummaryCopied = 614;
    if (counts.copied > 0) {
        text += u' ' + LanguageTextOr(language, kSummaryCopied, u"%1 of them copied as they are."_s)
                           .arg(counts.copied);
    }
    if (counts.stopped > 0) {
        text += u' ' + LanguageTextOr(language, StatusText::kSummaryStopped,
                                      u"%1 stopped before they were done."_s)
                           .arg(counts.stopped);
    }
    return text;
}

QString CannotDecodeLine(const QString& path, const QString& format, const CLanguagePack& language)
{
    const QString shown = format.isEmpty()
                              ? LanguageTextOr(language, StatusText::kUnknownFormat, u"unknown"_s)
                              : format;
    return path + u" ("_s + language.GetString(MainText::kCannotPlanFormat) + u' ' + shown + u')';
}

UnplannedChoice AskAboutUnplanned(QWidget* parent, int unplanned, int total, const QString& plan,
                                  const CLanguagePack& language)
{
    QMessageBox box(QMessageBox::Question, language.GetString(MainText::kWarningCaption),
                    LanguageTextOr(language, StatusText::kUnplanned,
                                   u"%1 of the %2 files in the list are not planned. Plan them "
                                   u"with %3 and convert them too, or convert only the files "
                                   u"that are planned?"_s)
                        .arg(unplanned)
                        .arg(total)
                        .arg(plan),
                    QMessageBox::NoButton, parent);
    box.setObjectName(u"unplannedQuestion"_s);
    QPushButton* planThem = box.addButton(
        LanguageTextOr(language, StatusText::kPlanThem, u"&Plan them"_s), QMessageBox::AcceptRole);
    planThem->setObjectName(u"planThemButton"_s);
    QPushButton* onlyPlanned = box.addButton(
        LanguageTextOr(language, StatusText::kOnlyPlanned, u"Convert &only planned"_s),
        QMessageBox::AcceptRole);
    onlyPlanned->setObjectName(u"onlyPlannedButton"_s);
    QPushButton* cancel = box.addButton(LanguageTextOr(language, UiText::kCancel, u"Cancel"_s),
                                        QMessageBox::RejectRole);
    cancel->setObjectName(u"cancelButton"_s);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == planThem) {
        return UnplannedChoice::PlanThem;
    }
    if (box.clickedButton() == onlyPlanned) {
        return UnplannedChoice::OnlyPlanned;
    }
    return UnplannedChoice::Cancel;
}
