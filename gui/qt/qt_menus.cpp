// The menu bar, the toolbar and the shortcut keys in the Qt front end: their
// actions and the commands they click, and a key's place on its menu entry.
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "gui/qt/qt_form_parts.h"

namespace quillon::gui {

using namespace qt_parts;

namespace {

void AddMenu(QMenu& menu, const MenuDescription& item, Form& form, QObject* context,
             Commands& commands) {
  if (item.caption == "-") {
    menu.addSeparator();
    return;
  }
  if (!item.items.empty()) {
    QMenu* sub = menu.addMenu(Text(item.caption));
    sub->setObjectName(Text(item.name));
    for (const MenuDescription& child : item.items) AddMenu(*sub, child, form, context, commands);
    return;
  }
  QAction* action = menu.addAction(Text(item.caption));
  action->setObjectName(Text(item.name));
  const std::string key = item.name;
  QObject::connect(action, &QAction::triggered, context, [&form, key] { form.Click(key); });
  commands[key].push_back(action);
}

}  // namespace

namespace qt_parts {

int AddCommands(Form& form, QWidget& root, QVBoxLayout& layout, QObject* context,
                Commands& commands) {
  const FormDescription& described = form.description();
  int extraHeight = 0;  // menu bar and toolbar above the client area
  if (!described.menus.empty()) {
    auto* bar = new QMenuBar(&root);
    for (const MenuDescription& menu : described.menus) {
      QMenu* top = bar->addMenu(Text(menu.caption));
      top->setObjectName(Text(menu.name));
      for (const MenuDescription& item : menu.items) AddMenu(*top, item, form, context, commands);
    }
    layout.setMenuBar(bar);
    extraHeight += bar->sizeHint().height();
  }
  if (!described.tools.empty()) {
    auto* tools = new QToolBar(&root);
    tools->setObjectName(Text(described.name + ".toolbar"));
    for (const ToolDescription& tool : described.tools) {
      if (tool.caption == "-") {
        tools->addSeparator();
        continue;
      }
      QAction* action = tools->addAction(Text(tool.caption));
      action->setObjectName(Text(tool.name));
      const std::string key = tool.name;
      QObject::connect(action, &QAction::triggered, context, [&form, key] { form.Click(key); });
      commands[key].push_back(action);
    }
    layout.addWidget(tools);
    extraHeight += tools->sizeHint().height();
  }
  // A command's key sits on its menu entry, which shows it; a key of no
  // entry gets an action of the window's own.
  for (const ShortcutDescription& shortcut : described.shortcuts) {
    const QKeySequence keys =
        QKeySequence::fromString(Text(shortcut.keys), QKeySequence::PortableText);
    if (const auto entry = commands.find(shortcut.command); entry != commands.end()) {
      entry->second.front()->setShortcut(keys);
      continue;
    }
    auto* action = new QAction(&root);
    action->setObjectName(Text(shortcut.command + ".shortcut"));
    action->setShortcut(keys);
    root.addAction(action);
    const std::string key = shortcut.command;
    QObject::connect(action, &QAction::triggered, context, [&form, key] { form.Click(key); });
  }
  return extraHeight;
}

}  // namespace qt_parts

}  // namespace quillon::gui
