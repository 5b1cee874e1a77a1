#include "ui/qt/form_layout.h"

#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "ui/qt/qt_ui.h"

namespace kr::ui {
namespace {

int ToPixels(int twips) { return static_cast<int>(std::lround(twips / double{kTwipsPerPixel})); }

// Keeps the widened label clear of the form's border.
constexpr int kRightMargin = 4;
// Remembers the design rectangle, so that a second caption starts from it again.
constexpr char kDesignProperty[] = "krDesignRect";

}  // namespace

QFont FormFont() {
  QFont font("Noto Sans CJK JP");
  font.setPointSize(9);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QRect TwipsRect(int left, int top, int width, int height) {
  const int x = ToPixels(left), y = ToPixels(top);
  return QRect(x, y, ToPixels(left + width) - x, ToPixels(top + height) - y);
}

QSize TwipsSize(int width, int height) { return QSize(ToPixels(width), ToPixels(height)); }

void SetUpForm(QDialog& form, const char* name, QSize client) {
  form.setObjectName(name);
  form.setFont(FormFont());
  form.setFixedSize(client);
  // A fixed dialog: title and close button, nothing to resize, minimise or ask for help.
  form.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowCloseButtonHint);
}

void PlaceLabel(QLabel& label, QRect design) {
  const QVariant stored = label.property(kDesignProperty);
  if (stored.isValid()) {
    design = stored.toRect();
  } else {
    label.setProperty(kDesignProperty, design);
  }
  label.setWordWrap(true);
  label.setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label.setTextFormat(Qt::PlainText);

  const QFontMetrics metrics(label.font());
  int longest = 0;
  for (const QString& line : label.text().split('\n')) {
    longest = std::max(longest, metrics.horizontalAdvance(line) + 1);
  }
  int width = design.width();
  if (longest > width && label.parentWidget() != nullptr) {
    const int room = label.parentWidget()->width() - design.left() - kRightMargin;
    width = std::max(width, std::min(longest, room));
  }
  const int height = std::max(design.height(), label.heightForWidth(width));
  label.setGeometry(design.left(), design.top(), width, height);
}

QString ToDisplayText(std::string_view text) {
  QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  shown.replace('\r', '\n');
  return shown;
}

}  // namespace kr::ui
