// Tab controls and their pages in the Qt front end: the widget (a frame
// where the page headers are hidden), the page shown and Ctrl+Tab (by the
// rules of gui/form_rules.h), greyed pages, and the page choices that come
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
}

void QtFormView::Binder::ShowPage(const ControlModel& tabs) {
  for (ControlModel* model : pages_.ShowPage(tabs))
    MakeVisible(*model, view_.widgets_.at(model->key()));
}

void QtFormView::Binder::SwitchPage(int step) {
  gui::SwitchPage(view_.form_, view_.ModelOf(QApplication::focusWidget()), step);
}

}  // namespace quillon::gui
