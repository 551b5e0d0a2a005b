// Tab controls and their pages in the Qt front end: the widget (a frame
// where the page headers are hidden), which controls lie on which page and
// the page shown, greyed pages, Ctrl+Tab, and the page choices that come
// back.
#include <QApplication>
#include <QFrame>
#include <QTabWidget>

#include "gui/qt/qt_form_parts.h"

namespace quillon::gui {

using namespace qt_parts;

namespace qt_parts {

QWidget* MakeTabs(const ControlDescription& control, QWidget* parent) {
  if (control.tabsHidden) {
    // Pages switched by code only: the frame their controls lie in.
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    return frame;
  }
  auto* tabs = new QTabWidget(parent);
  // Empty pages: the pages' controls are the window's, shown by page.
  for (const std::string& page : control.columns) tabs->addTab(new QWidget, Text(page));
  return tabs;
}

}  // namespace qt_parts

void QtFormView::Binder::MapPages() {
  for (const auto& model : view_.form_.controls()) {
    const ControlDescription& control = model->description();
    if (control.container.empty() || control.page < 0) continue;
    auto& pages = pages_[control.container];
    if (pages.size() <= static_cast<std::size_t>(control.page))
      pages.resize(static_cast<std::size_t>(control.page) + 1);
    pages[static_cast<std::size_t>(control.page)].push_back(model.get());
  }
}

void QtFormView::Binder::ShowTabsChange(ControlModel& changed, QWidget* widget, Change change,
                                        int row) {
  auto* tabs = qobject_cast<QTabWidget*>(widget);
  if (change == Change::Enabled && row >= 0 && tabs) {
    tabs->setTabEnabled(row, changed.pageEnabled(row));
    // The tab bar leaves a page greyed while shown; the logic still shows
    // it, and decides when to leave it.
    tabs->setCurrentIndex(changed.value());
  }
  if (change == Change::Value) {
    if (tabs) tabs->setCurrentIndex(changed.value());
    ShowPage(changed);
  }
}

void QtFormView::Binder::ConnectTabs(ControlModel& model, QWidget* widget) {
  auto* self = this;
  ControlModel* target = &model;
  if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
    for (int page = 0; page < tabs->count(); ++page)
      tabs->setTabEnabled(page, model.pageEnabled(page));
    tabs->setCurrentIndex(model.value());
    QObject::connect(tabs, &QTabWidget::currentChanged, self, [self, target](int page) {
      if (!self->updating()) target->SetValue(page);
    });
  }
  shownPage_[model.key()] = model.value();
}

void QtFormView::Binder::ShowPage(const ControlModel& tabs) {
  const auto found = pages_.find(tabs.key());
  if (found == pages_.end()) return;
  int& shown = shownPage_[tabs.key()];
  for (const int page : {shown, tabs.value()}) {
    if (page < 0 || page >= static_cast<int>(found->second.size())) continue;
    for (ControlModel* model : found->second[static_cast<std::size_t>(page)])
      MakeVisible(*model, view_.widgets_.at(model->key()));
  }
  shown = tabs.value();
}

void QtFormView::Binder::SwitchPage(int step) {
  ControlModel* tabs = nullptr;
  if (ControlModel* focused = view_.ModelOf(QApplication::focusWidget())) {
    tabs = focused->description().kind == ControlKind::TabControl
               ? focused
               : view_.form_.Find(focused->description().container);
  }
  if (tabs && tabs->description().tabsHidden) tabs = nullptr;
  if (!tabs) {
    int shown = 0;
    for (const auto& model : view_.form_.controls()) {
      if (model->description().kind == ControlKind::TabControl &&
          !model->description().tabsHidden && view_.widgets_.at(model->key())->isVisible()) {
        tabs = model.get();
        ++shown;
      }
    }
    if (shown != 1) return;
  }
  if (!tabs || !tabs->enabled()) return;
  if (const int page = NextEnabledPage(*tabs, step); page >= 0) tabs->SetValue(page);
}

}  // namespace quillon::gui
