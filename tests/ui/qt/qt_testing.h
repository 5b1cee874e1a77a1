// Finding and driving the real forms in tests.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace kr::ui::testing {

// The visible top-level form with this object name, or nullptr.
inline QWidget* FindForm(const char* name) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QLatin1String(name) && widget->isVisible()) return widget;
  }
  return nullptr;
}

template <class T>
T* Control(QWidget* form, const char* name) {
  return form == nullptr ? nullptr : form->findChild<T*>(QLatin1String(name));
}

// Runs the deletions that closed forms have asked for.
inline void DeleteClosedForms() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Runs act on the next modal window to appear while the blocking call that follows runs; act
// must close it. Gives up (closing whatever is modal) after a few seconds so a test cannot hang.
class OnModal {
 public:
  explicit OnModal(std::function<void(QWidget*)> act) : act_(std::move(act)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) {
        if (++ticks_ > 250) poll_.stop();
        return;
      }
      poll_.stop();
      seen_ = true;
      act_(modal);
    });
    poll_.start(20);
  }
  bool seen() const { return seen_; }

 private:
  std::function<void(QWidget*)> act_;
  QTimer poll_;
  int ticks_ = 0;
  bool seen_ = false;
};

}  // namespace kr::ui::testing
