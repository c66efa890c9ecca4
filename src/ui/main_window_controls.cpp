#include "ui/main_window_controls.h"

#include "ui/app_icon.h"
#include "ui/dialog_units.h"
#include "ui/list_view_ex.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

// The template, in dialog units.
constexpr int kWindowWidth = 459;
constexpr int kWindowHeight = 292;
constexpr int kMargin = 6;
constexpr int kFileListWidth = 276;
constexpr int kFileListHeight = 204;
constexpr int kRightColumnWidth = 163;
constexpr int kStartButtonWidth = 78;
constexpr int kStartButtonHeight = 62;
constexpr int kCoderInfoHeight = 96;
constexpr int kFolderButtonWidth = 15;
constexpr int kFolderButtonHeight = 13;
constexpr int kFolderIconSize = 12;
constexpr int kStartFontPoints = 15;

template <typename T> T* Named(T* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& caption)
{
    return Named(new QPushButton(caption, parent), name);
}

QWidget* BuildRightColumn(QWidget* window, MainWindowControls& c, const DialogUnits& du)
{
    auto* column = Named(new QWidget(window), u"rightColumn"_s);
    column->setFixedWidth(du.X(kRightColumnWidth));
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(du.Y(2));

    auto* coderRow = new QHBoxLayout;
    c.coderLabel = Named(new QLabel(u"Coder"_s, column), u"coderLabel"_s);
    c.coderFolderButton = MakeButton(column, u"coderFolderButton"_s, QString());
    c.coderFolderButton->setIcon(QIcon::fromTheme(u"folder-open"_s, FolderIcon()));
    c.coderFolderButton->setIconSize({kFolderIconSize, kFolderIconSize});
    c.coderFolderButton->setFixedSize(
        du.Size(kFolderButtonWidth, kFolderButtonHeight).expandedTo({22, 20}));
    c.coderFolderButton->setAutoDefault(false);
    coderRow->addWidget(c.coderLabel, 1);
    coderRow->addWidget(c.coderFolderButton);
    layout->addLayout(coderRow);

    c.coderCombo = Named(new QComboBox(column), u"coderCombo"_s);
    layout->addWidget(c.coderCombo);
    layout->addSpacing(du.Y(2));

    c.presetLabel = Named(new QLabel(u"Preset"_s, column), u"presetLabel"_s);
    layout->addWidget(c.presetLabel);
    c.presetCombo = Named(new QComboBox(column), u"presetCombo"_s);
    layout->addWidget(c.presetCombo);
    layout->addSpacing(du.Y(4));

    // Reset and Apply sit directly on top of each other, as in the template.
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(0);
    c.resetButton = MakeButton(column, u"resetButton"_s, u"Reset settings"_s);
    c.applyButton = MakeButton(column, u"applyButton"_s, u"Apply settings"_s);
    buttons->addWidget(c.resetButton);
    buttons->addWidget(c.applyButton);
    layout->addLayout(buttons);
    layout->addSpacing(du.Y(6));

    c.coderInfoLabel = Named(new QLabel(u"Current coder info"_s, column), u"coderInfoLabel"_s);
    layout->addWidget(c.coderInfoLabel);
    c.coderInfoList = Named(new CListViewEx(column), u"coderInfoList"_s);
    c.coderInfoList->setFixedHeight(du.Y(kCoderInfoHeight));
    c.coderInfoList->setHeaderHidden(true);
    c.coderInfoList->setSelectionMode(QAbstractItemView::SingleSelection);
    c.coderInfoList->InsertColumn(0, u"Field"_s);
    c.coderInfoList->InsertColumn(1, u"Value"_s);
    layout->addWidget(c.coderInfoList);

    // Never shown; kept so the window holds every control of its template.
    c.customPresetButton = MakeButton(column, u"customPresetButton"_s, u"Custom preset..."_s);
    c.editPresetsButton = MakeButton(column, u"editPresetsButton"_s, u"Edit presets..."_s);
    for (QPushButton* unused : {c.customPresetButton, c.editPresetsButton}) {
        unused->setEnabled(false);
        unused->hide();
        layout->addWidget(unused);
    }
    layout->addStretch(1);
    // Empty until a run has ended; it wraps in the column's width.
    c.runSummary = Named(new QLabel(column), u"runSummary"_s);
    c.runSummary->setWordWrap(true);
    c.runSummary->setTextFormat(Qt::PlainText);
    c.runSummary->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    // Room for the line from the start, wrapped to three lines as longer packs need it, so
    // the window does not grow or overlap when a run ends.
    c.runSummary->setMinimumHeight(c.runSummary->fontMetrics().lineSpacing() * 3);
    layout->addWidget(c.runSummary);
    return column;
}

QLayout* BuildBottomRow(QWidget* window, MainWindowControls& c, const DialogUnits& du)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(du.X(kMargin));

    c.startButton = MakeButton(window, u"startButton"_s, QString());
    QFont bold = window->font();
    bold.setPointSize(kStartFontPoints);
    bold.setBold(true);
    c.startButton->setFont(bold);
    c.startButton->setFixedSize(du.Size(kStartButtonWidth, kStartButtonHeight));
    c.startButton->setDefault(true);
    row->addWidget(c.startButton, 0, Qt::AlignBottom);

    auto* lines = new QVBoxLayout;
    lines->setSpacing(du.Y(1));
    c.decoderLineLabel =
        Named(new QLabel(u"Decoding command line"_s, window), u"decoderLineLabel"_s);
    c.decoderLineEdit = Named(new QLineEdit(window), u"decoderLineEdit"_s);
    c.coderLineLabel = Named(new QLabel(u"Coding command line"_s, window), u"coderLineLabel"_s);
    c.coderLineEdit = Named(new QLineEdit(window), u"coderLineEdit"_s);
    lines->addWidget(c.decoderLineLabel);
    lines->addWidget(c.decoderLineEdit);
    lines->addSpacing(du.Y(6));
    lines->addWidget(c.coderLineLabel);
    lines->addWidget(c.coderLineEdit);
    row->addLayout(lines, 1);
    return row;
}

} // namespace

MainWindowControls CreateMainWindowControls(QWidget* window)
{
    const DialogUnits du(window->font());
    MainWindowControls c;

    c.fileList = Named(new CListViewEx(window), u"fileList"_s);
    c.fileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    c.fileList->SetGridLines(true);
    c.fileList->setMinimumSize(du.Size(kFileListWidth, kFileListHeight));

    auto* top = new QHBoxLayout;
    top->setSpacing(du.X(5));
    top->addWidget(c.fileList, 1);
    top->addWidget(BuildRightColumn(window, c, du));

    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(du.X(kMargin), du.Y(kMargin), du.X(kMargin), du.Y(kMargin));
    outer->setSpacing(du.Y(kMargin));
    outer->addLayout(top, 1);
    outer->addLayout(BuildBottomRow(window, c, du));
    return c;
}

QSize MainWindowTemplateSize(QWidget* window)
{
    const DialogUnits du(window->font());
    QSize size = du.Size(kWindowWidth, kWindowHeight);
    if (window->layout() != nullptr) {
        size = size.expandedTo(window->layout()->totalMinimumSize());
    }
    return size;
}
