#include "ui/options_dialog.h"

#include "extensions/language_pack.h"
#include "settings/settings_set.h"
#include "ui/dialog_units.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

using namespace Qt::StringLiterals;

namespace {

namespace Text {
constexpr int kTitle = 132;
constexpr int kCancel = 124;
} // namespace Text

// Sizes of the window and of the page area, in dialog units.
constexpr int kWindowWidth = 373;
constexpr int kWindowHeight = 266;
constexpr int kPageWidth = 258;
constexpr int kPageHeight = 234;

// Tree items carry the position of their page; folder nodes carry none.
constexpr int kPageRole = Qt::UserRole;
constexpr int kNoPage = -1;

} // namespace

COptionsDialog::COptionsDialog(CLanguagePack& languagePack, CSettingsSet& settingsSet,
                               QWidget* parent)
    : QDialog(parent), language(languagePack), settings(settingsSet)
{
    setObjectName(u"options"_s);
    setModal(true);
    CreateControls();
    setWindowTitle(language.GetString(Text::kTitle));
    cancelButton->setText(language.GetString(Text::kCancel));
}

COptionsDialog::~COptionsDialog()
{
    DestroyPages();
}

void COptionsDialog::CreateControls()
{
    const DialogUnits du(font());
    tree = new QTreeWidget(this);
    tree->setObjectName(u"pageTree"_s);
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setRootIsDecorated(true);
    tree->setMinimumWidth(du.X(kWindowWidth - kPageWidth - 21));

    pageArea = new QStackedWidget(this);
    pageArea->setObjectName(u"pageArea"_s);
    // The template's page size as a hint only: a page whose texts need more (a longer language)
    // makes the dialog grow instead of being cut.
    auto* pageSize = new QWidget(pageArea);
    pageSize->setMinimumSize(du.Size(kPageWidth, kPageHeight));
    pageArea->addWidget(pageSize);

    auto* buttons = new QDialogButtonBox(this);
    okButton = buttons->addButton(QDialogButtonBox::Ok);
    okButton->setObjectName(u"okButton"_s);
    okButton->setText(u"OK"_s);
    cancelButton = buttons->addButton(QDialogButtonBox::Cancel);
    cancelButton->setObjectName(u"cancelButton"_s);

    auto* top = new QHBoxLayout;
    top->addWidget(tree);
    top->addWidget(pageArea, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(buttons);
    resize(du.Size(kWindowWidth, kWindowHeight).expandedTo(layout->totalMinimumSize()));

    connect(buttons, &QDialogButtonBox::accepted, this, &COptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionsDialog::reject);
    connect(tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { OnItemChanged(item); });
}

COptionsPage& COptionsDialog::AddPage(std::unique_ptr<COptionsPage> page)
{
    page->SetSettings(&settings);
    pages.push_back(std::move(page));
    return *pages.back();
}

void COptionsDialog::showEvent(QShowEvent* event)
{
    if (!treeBuilt) {
        treeBuilt = true;
        BuildTree();
    }
    QDialog::showEvent(event);
}

void COptionsDialog::BuildTree()
{
    const int initialPage = settings.optionsInitialPage;
    QTreeWidgetItem* initialItem = nullptr;
    for (int position = 0; position < PageCount(); ++position) {
        const QStringList parts = Page(position).GetTitle().left(kTitleLength).split(u'\\');
        QTreeWidgetItem* item = nullptr;
        for (const QString& part : parts) {
            item = FindOrAddChild(item, part);
        }
        item->setData(0, kPageRole, position);
        if (position == initialPage) {
            initialItem = item;
        }
    }
    if (initialItem != nullptr) {
        tree->setCurrentItem(initialItem);
        return;
    }
    // With no initial page no page is shown and the stored position stays; the tree would pick
    // its first item as soon as it took the focus.
    okButton->setFocus();
}

// Children are matched on their whole text, case-sensitively; a folder node made on the way
// has no page and is expanded.
QTreeWidgetItem* COptionsDialog::FindOrAddChild(QTreeWidgetItem* parent, const QString& text)
{
    const int count = parent ? parent->childCount() : tree->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* child = parent ? parent->child(i) : tree->topLevelItem(i);
        if (child->text(0) == text) {
            return child;
        }
    }
    auto* child = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    child->setText(0, text);
    child->setData(0, kPageRole, kNoPage);
    if (parent != nullptr) {
        parent->setExpanded(true);
    }
    return child;
}

void COptionsDialog::OnItemChanged(QTreeWidgetItem* item)
{
    if (item == nullptr) {
        return;
    }
    const int position = item->data(0, kPageRole).toInt();
    if (position != kNoPage) {
        ActivatePage(position);
    }
}

void COptionsDialog::ShowPage(int position)
{
    for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it) {
        if ((*it)->data(0, kPageRole).toInt() == position) {
            tree->setCurrentItem(*it);
            return;
        }
    }
}

void COptionsDialog::ActivatePage(int position)
{
    if (currentPage >= 0) {
        Page(currentPage).Show(false);
    }
    COptionsPage& page = Page(position);
    if (!page.IsCreated()) {
        pageArea->addWidget(page.Create(pageArea));
        page.OnCreate();
    }
    pageArea->setCurrentWidget(page.Window());
    page.Show(true);
    currentPage = position;
}

void COptionsDialog::accept()
{
    for (auto& page : pages) {
        page->Commit();
    }
    if (currentPage >= 0) {
        settings.optionsInitialPage = currentPage;
    }
    DestroyPages();
    done(kResultOK);
}

void COptionsDialog::reject()
{
    for (auto& page : pages) {
        page->OnCancel();
    }
    DestroyPages();
    done(kResultCancel);
}

void COptionsDialog::DestroyPages()
{
    for (auto& page : pages) {
        page->Destroy();
    }
}
