#include "ui/main_menu.h"

#include "extensions/plugin.h"

#include <QMenu>
#include <QMenuBar>

using namespace Qt::StringLiterals;

namespace {

void SetCommand(QAction* action, int commandId, const CommandHandler& handler)
{
    action->setData(commandId);
    action->setObjectName(u"command"_s + QString::number(commandId));
    if (handler) {
        QObject::connect(action, &QAction::triggered, action,
                         [handler, commandId] { handler(commandId); });
    }
}

} // namespace

void AddMenuItems(QMenu* menu, const std::vector<LanguageMenuItem>& items,
                  const CommandHandler& handler)
{
    for (const LanguageMenuItem& item : items) {
        switch (item.kind) {
        case LanguageMenuItem::Kind::Command:
            SetCommand(menu->addAction(item.text), item.commandId, handler);
            break;
        case LanguageMenuItem::Kind::Separator:
            menu->addSeparator();
            break;
        case LanguageMenuItem::Kind::Popup:
            AddMenuItems(menu->addMenu(item.text), item.items, handler);
            break;
        }
    }
}

QMenuBar* BuildMenuBar(QWidget* owner, const LanguageMenu& menu, const CommandHandler& handler)
{
    auto* bar = new QMenuBar(owner);
    bar->setObjectName(u"mainMenu"_s);
    for (const LanguageMenuItem& item : menu) {
        if (item.kind == LanguageMenuItem::Kind::Popup) {
            AddMenuItems(bar->addMenu(item.text), item.items, handler);
        } else if (item.kind == LanguageMenuItem::Kind::Command) {
            // A pack may put a command straight on the bar.
            SetCommand(bar->addAction(item.text), item.commandId, handler);
        }
    }
    return bar;
}

QMenu* InsertPluginsMenu(QMenuBar* bar, const CPluginList& plugins, const PluginsMenuTexts& texts,
                         const CommandHandler& handler)
{
    if (!plugins.FoundAny()) {
        return nullptr;
    }
    auto* menu = new QMenu(texts.caption, bar);
    menu->setObjectName(u"pluginsMenu"_s);
    for (int index = 0; index < plugins.Count(); ++index) {
        // A plugin's name is shown as it is written, "&" included.
        QString text = plugins.At(index).name;
        text.replace(u'&', u"&&"_s);
        SetCommand(menu->addAction(text), CPluginList::CommandId(index), handler);
    }
    // Every file failed to load: an empty menu would look broken rather than say so.
    if (plugins.Count() == 0) {
        menu->addAction(texts.noneLoaded)->setEnabled(false);
    }
    const QList<QAction*> top = bar->actions();
    bar->insertMenu(top.isEmpty() ? nullptr : top.last(), menu);
    return menu;
}

int CommandIdOf(const QAction* action)
{
    return action != nullptr ? action->data().toInt() : 0;
}

QAction* FindCommandAction(const QWidget* widget, int commandId)
{
    for (QAction* action : widget->actions()) {
        if (action->menu() != nullptr) {
            if (QAction* found = FindCommandAction(action->menu(), commandId)) {
                return found;
            }
        } else if (CommandIdOf(action) == commandId) {
            return action;
        }
    }
    return nullptr;
}
