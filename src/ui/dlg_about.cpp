#include "ui/dlg_about.h"

#include "extensions/language_pack.h"
#include "ui/app_icon.h"
#include "ui/dlg_main.h"
#include "ui/ui_texts.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTitleStringId = 156;
constexpr int kLicenceStringId = 500;
constexpr int kIconSize = 48;
constexpr int kTextWidth = 360;

} // namespace

QString CDlgAbout::Text(const CLanguagePack& language)
{
    const QString notice = LanguageTextOr(
        language, UiText::kLegalNotice,
        u"This program comes with ABSOLUTELY NO WARRANTY. The encoders and decoders it runs "
        u"are separate programs under their own licences."_s);
    // The licence has a text of its own, so that a pack without it still names it.
    const QString licence = LanguageTextOr(
        language, kLicenceStringId,
        u"orvel is free software: you can redistribute it and/or modify it under the terms of "
        u"the GNU General Public License, version 3 or (at your option) any later version "
        u"(https://www.gnu.org/licenses/gpl-3.0.html)."_s);
    return QString::fromUtf16(CDlgMain::kVersion) + u"\n\n"_s + licence + u"\n\n"_s + notice;
}

CDlgAbout::CDlgAbout(const CLanguagePack& language, QWidget* owner) : QDialog(owner)
{
    setObjectName(u"aboutBox"_s);
    setWindowTitle(language.GetString(kTitleStringId));

    auto* frame = new QGroupBox(this);
    auto* icon = new QLabel(frame);
    icon->setPixmap(ApplicationIcon().pixmap(kIconSize, kIconSize));
    icon->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(Text(language), frame);
    text->setObjectName(u"aboutText"_s);
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setFixedWidth(kTextWidth);
    auto* inner = new QHBoxLayout(frame);
    inner->addWidget(icon);
    inner->addWidget(text, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
