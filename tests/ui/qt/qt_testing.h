// Finding and driving the real forms in tests.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

namespace kr::ui::testing {

inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// The visible top-level form with this object name, or nullptr.
inline QWidget* FindForm(const char* name) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QLatin1String(name) && widget->isVisible()) return widget;
  }
  return nullptr;
}

template <class T = QWidget>
T* Control(QWidget* form, const char* name) {
  return form == nullptr ? nullptr : form->findChild<T*>(QLatin1String(name));
}

// Runs the deletions that closed forms have asked for.
inline void DeleteClosedForms() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Runs act on the next modal window to appear while the blocking call that follows runs; act
// must close it. Gives up after five seconds so a test cannot hang.
class OnModal : public QTimer {
 public:
  explicit OnModal(std::function<void(QWidget*)> act) {
    connect(this, &QTimer::timeout, [this, act = std::move(act)] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        stop();
        act(modal);
      } else if (++ticks_ > 250) {
        stop();
      }
    });
    start(20);
  }

 private:
  int ticks_ = 0;
};

// What a message box showed, and whether the busy pointer was up meanwhile.
struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  qsizetype buttons = 0;
  bool plain_text = false, busy_pointer = false;
};

// The message box act brings up, closed with its OK button; nullopt when none comes up.
inline std::optional<SeenBox> BoxShownBy(const std::function<void()>& act) {
  std::optional<SeenBox> seen;
  OnModal press_ok([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    seen = SeenBox{box->windowTitle(), box->text(), box->icon(), box->buttons().size()};
    seen->plain_text = box->textFormat() == Qt::PlainText;
    seen->busy_pointer = QApplication::overrideCursor() != nullptr;
    box->button(QMessageBox::Ok)->click();
  });
  act();
  return seen;
}

}  // namespace kr::ui::testing
