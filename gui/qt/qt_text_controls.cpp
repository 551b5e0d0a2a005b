// Labels, text boxes, combos and progress bars in the Qt front end: their
// widgets, their text, a combo's lines and choice, a progress bar's range and
// position, and the typing and choosing that come back.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "gui/qt/qt_form_parts.h"

namespace quillon::gui {

using namespace qt_parts;

namespace qt_parts {

QString EditorText(const std::string& text) {
  return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

std::string ModelText(const QString& text) {
  return QString(text).replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toStdString();
}

QWidget* MakeTextControl(const ControlDescription& control, QWidget* parent) {
  const QString caption = Text(control.caption);
  switch (control.kind) {
    case ControlKind::Label: {
      // As a Windows static: the text wraps within its box, from the top.
      auto* label = new QLabel(caption, parent);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case ControlKind::TextBox:
      return new QLineEdit(caption, parent);
    case ControlKind::MultiLineText: {
      // Tab leaves it, as in a Windows dialog.
      auto* text = new QPlainTextEdit(EditorText(control.caption), parent);
      text->setTabChangesFocus(true);
      return text;
    }
    case ControlKind::ComboBox:
    case ControlKind::ComboList:
    case ControlKind::DriveList: {
      auto* combo = new QComboBox(parent);
      combo->setEditable(control.kind == ControlKind::ComboBox);
      return combo;
    }
    case ControlKind::ProgressBar: {
      auto* bar = new QProgressBar(parent);
      bar->setTextVisible(false);
      bar->setRange(0, 100);
      bar->setValue(0);
      return bar;
    }
    default:
      return new QWidget(parent);
  }
}

}  // namespace qt_parts

void QtFormView::Binder::ShowTextChange(ControlModel& changed, QWidget* widget, Change change) {
  switch (change) {
    case Change::Text:
      // The user's own typing comes back here: the widget already shows it,
      // and writing it again would move the cursor.
      if (auto* edit = qobject_cast<QLineEdit*>(widget);
          edit && edit->text() != Text(changed.text())) {
        edit->setText(Text(changed.text()));
      }
      if (auto* text = qobject_cast<QPlainTextEdit*>(widget);
          text && ModelText(text->toPlainText()) != changed.text()) {
        text->setPlainText(EditorText(changed.text()));
      }
      if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(Text(changed.text()));
      if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->isEditable()) {
        combo->setEditText(Text(changed.text()));
      }
      break;
    case Change::Value:
      if (auto* bar = qobject_cast<QProgressBar*>(widget)) bar->setValue(changed.value());
      if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        combo->setCurrentIndex(changed.value());
        // No line chosen empties an editable combo's box; the model's text
        // stays.
        if (combo->isEditable()) combo->setEditText(Text(changed.text()));
      }
      break;
    case Change::Range:
      if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
        bar->setRange(changed.minimum(), changed.maximum());
      }
      break;
    case Change::Lines:
      if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        combo->clear();
        for (const std::string& line : changed.lines()) combo->addItem(Text(line));
        combo->setCurrentIndex(changed.value());
        // Clearing the list cleared an editable combo's box too.
        if (combo->isEditable()) combo->setEditText(Text(changed.text()));
      }
      break;
    default:
      break;
  }
}

void QtFormView::Binder::ConnectTextControl(ControlModel& model, QWidget* widget) {
  auto* self = this;
  ControlModel* target = &model;
  switch (model.description().kind) {
    case ControlKind::TextBox:
      QObject::connect(static_cast<QLineEdit*>(widget), &QLineEdit::textEdited, self,
                       [target](const QString& text) { target->SetText(text.toStdString()); });
      break;
    case ControlKind::MultiLineText: {
      auto* edit = static_cast<QPlainTextEdit*>(widget);
      QObject::connect(edit, &QPlainTextEdit::textChanged, self, [self, target, edit] {
        if (!self->updating()) target->SetText(ModelText(edit->toPlainText()));
      });
      break;
    }
    case ControlKind::ComboBox:
    case ControlKind::ComboList:
    case ControlKind::DriveList: {
      auto* combo = static_cast<QComboBox*>(widget);
      QObject::connect(combo, &QComboBox::currentIndexChanged, self, [self, target](int index) {
        if (!self->updating()) target->SetValue(index);
      });
      QObject::connect(combo, &QComboBox::currentTextChanged, self,
                       [self, target](const QString& text) {
                         if (!self->updating()) target->SetText(text.toStdString());
                       });
      break;
    }
    default:
      break;
  }
}

}  // namespace quillon::gui
