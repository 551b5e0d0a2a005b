// Buttons, check boxes, option buttons and links in the Qt front end: their
// widgets, wrapped captions, checks within an option group, the arrow keys
// and tab stop of a group, a link's clicks and keys, and the clicks that come
// back.
#include <algorithm>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

#include "gui/qt/qt_form_parts.h"

namespace quillon::gui {

using namespace qt_parts;

namespace {

// A label that acts when clicked: a tab stop, so it shows the focus itself.
class LinkLabel : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QLabel::paintEvent(event);
    if (!hasFocus()) return;
    QStylePainter painter(this);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
};

}  // namespace

namespace qt_parts {

QWidget* MakeButton(const ControlDescription& control, QWidget* parent) {
  const QString caption = Text(control.caption);
  switch (control.kind) {
    case ControlKind::Button:
      return new QPushButton(caption, parent);
    case ControlKind::CheckBox:
      return new QCheckBox(caption, parent);
    case ControlKind::OptionButton: {
      // The group is the control array (a QButtonGroup), not the parent widget.
      auto* option = new QRadioButton(caption, parent);
      option->setAutoExclusive(false);
      return option;
    }
    case ControlKind::Link: {
      // Underlined in the link colour (grey when disabled); the pointer over
      // it is the arrow with the question mark. Its own buddy: its mnemonic
      // takes the focus to it.
      auto* link = new LinkLabel(caption, parent);
      link->setTextFormat(Qt::PlainText);
      QFont font = link->font();
      font.setUnderline(true);
      link->setFont(font);
      QPalette palette = link->palette();
      for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::WindowText, palette.color(group, QPalette::Link));
      link->setPalette(palette);
      link->setCursor(Qt::WhatsThisCursor);
      link->setFocusPolicy(Qt::StrongFocus);
      link->setBuddy(link);
      return link;
    }
    default:
      return new QWidget(parent);
  }
}

QString WrappedCaption(const QString& caption, const QFontMetrics& metrics, int width) {
  const auto shown = [](QString text) { return text.remove(QLatin1Char('&')); };
  QString wrapped, line;
  for (const QString& word : caption.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
    if (!line.isEmpty() && metrics.horizontalAdvance(shown(longer)) > width) {
      wrapped += line + QLatin1Char('\n');
      line = word;
    } else {
      line = longer;
    }
  }
  return wrapped + line;
}

}  // namespace qt_parts

void QtFormView::Binder::ShowButtonChange(ControlModel& changed, QWidget* widget, Change change) {
  if (auto* label = qobject_cast<QLabel*>(widget); label && change == Change::Text) {
    label->setText(Text(changed.text()));  // a link's
  }
  if (change != Change::Checked) return;
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    // An exclusive group refuses to uncheck its checked member; the form may
    // leave a group with none.
    QButtonGroup* group = button->group();
    if (group && !changed.checked()) group->setExclusive(false);
    button->setChecked(changed.checked());
    if (group) {
      group->setExclusive(true);
      MoveGroupTabStop(changed.description().name);
    }
  }
}

void QtFormView::Binder::ConnectButton(ControlModel& model, QWidget* widget) {
  Form& form = view_.form_;
  const std::string key = model.key();
  if (model.description().kind == ControlKind::Link) {
    links_[widget] = key;
    widget->installEventFilter(this);
    return;
  }
  auto* self = this;
  ControlModel* target = &model;
  auto* button = static_cast<QAbstractButton*>(widget);
  if (model.description().kind == ControlKind::OptionButton) {
    button->installEventFilter(this);
    MoveGroupTabStop(model.description().name);
  }
  QObject::connect(button, &QAbstractButton::toggled, self, [self, target](bool on) {
    if (!self->updating()) target->SetChecked(on);
  });
  QObject::connect(button, &QAbstractButton::clicked, self, [&form, key] { form.Click(key); });
}

bool QtFormView::Binder::OnLink(const std::string& key, QEvent& event) {
  if (event.type() == QEvent::MouseButtonRelease) {
    const auto& mouse = static_cast<QMouseEvent&>(event);
    if (mouse.button() == Qt::LeftButton &&
        view_.widgets_.at(key)->rect().contains(mouse.position().toPoint()))
      view_.form_.Click(key);
  }
  if (event.type() == QEvent::KeyPress && static_cast<QKeyEvent&>(event).key() == Qt::Key_Space &&
      !static_cast<QKeyEvent&>(event).isAutoRepeat()) {
    view_.form_.Click(key);
    return true;
  }
  return false;
}

bool QtFormView::Binder::MoveInGroup(QObject* watched, const QKeyEvent& key) {
  int step = 0;
  if (key.key() == Qt::Key_Down || key.key() == Qt::Key_Right) step = 1;
  if (key.key() == Qt::Key_Up || key.key() == Qt::Key_Left) step = -1;
  if (step == 0 || key.modifiers() != Qt::NoModifier) return false;
  ControlModel* from = nullptr;
  for (const auto& [each, widget] : view_.widgets_) {
    if (widget == watched) from = view_.form_.Find(each);
  }
  if (!from) return false;
  std::vector<ControlModel*> members;
  for (const auto& model : view_.form_.controls()) {
    if (model->description().kind == ControlKind::OptionButton &&
        model->description().name == from->description().name && model->enabled() &&
        model->visible())
      members.push_back(model.get());
  }
  const auto at = std::find(members.begin(), members.end(), from);
  if (at == members.end()) return false;
  const auto count = static_cast<std::ptrdiff_t>(members.size());
  ControlModel* next =
      members[static_cast<std::size_t>(((at - members.begin()) + step + count) % count)];
  view_.widgets_.at(next->key())->setFocus(Qt::TabFocusReason);
  view_.form_.Click(next->key());
  return true;
}

void QtFormView::Binder::MoveGroupTabStop(const std::string& group) {
  const ControlModel* stop = GroupTabStop(view_.form_, group);
  for (const ControlModel* member : GroupMembers(view_.form_, group)) {
    view_.widgets_.at(member->key())
        ->setFocusPolicy(member == stop ? Qt::StrongFocus : Qt::ClickFocus);
  }
}

}  // namespace quillon::gui
