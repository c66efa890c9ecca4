#include "ui/options_page.h"

#include "extensions/language_pack.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

COptionsPage::COptionsPage(CLanguagePack& languagePack) : language(languagePack)
{
}

COptionsPage::~COptionsPage()
{
    Destroy();
}

QWidget* COptionsPage::Create(QWidget* parent)
{
    Q_ASSERT(!IsCreated());
    window = new QWidget(parent);
    BuildControls(window);
    return window;
}

void COptionsPage::Destroy()
{
    delete window.data();
    flags.clear();
}

void COptionsPage::Show(bool visible)
{
    if (window) {
        window->setVisible(visible);
    }
}

void COptionsPage::Commit()
{
    if (!IsCreated()) {
        return;
    }
    for (const FlagBinding& binding : flags) {
        if (binding.box) {
            *binding.flag = binding.box->isChecked() ? 1 : 0;
        }
    }
    OnOK();
}

QVBoxLayout* COptionsPage::AddGroup(QWidget* page, int titleId)
{
    auto* group = new QGroupBox(language.GetString(titleId), page);
    group->setObjectName(QStringLiteral("group"));
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addWidget(group, 1);
    auto* layout = new QVBoxLayout(group);
    return layout;
}

QCheckBox* COptionsPage::AddFlag(QVBoxLayout* layout, const QString& objectName, int textId,
                                 qint32& flag)
{
    auto* box = new QCheckBox(language.GetString(textId), layout->parentWidget());
    box->setObjectName(objectName);
    box->setChecked(flag != 0);
    layout->addWidget(box);
    flags.push_back({box, &flag});
    return box;
}
