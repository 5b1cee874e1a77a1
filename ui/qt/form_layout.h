// Placement helpers shared by the forms: the forms were designed in twips, and their Japanese
// captions must stay readable in the Noto CJK font, whose lines are taller than the design's.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <string_view>

class QDialog;
class QLabel;

namespace kr::ui {

constexpr int kTwipsPerPixel = 15;  // at 96 dpi

// A design rectangle (left, top, width, height in twips) in pixels. Edges are rounded, not
// sizes, so controls that touch in the design still touch.
QRect TwipsRect(int left, int top, int width, int height);
QSize TwipsSize(int width, int height);

// Names and sizes a form: fixed client area, the form font, the dialog's title bar only.
void SetUpForm(QDialog& form, const char* name, QSize client);

// Places a word-wrapping, top-aligned label at its design rectangle, then lets a caption that
// does not fit widen it toward the form's right edge and grow it downward. A label never
// moves and never shrinks below its design size. Call again after the caption changes.
void PlaceLabel(QLabel& label, QRect design);

// Text from the core (UTF-8, CRLF line breaks) as Qt shows it (LF line breaks).
QString ToDisplayText(std::string_view text);

}  // namespace kr::ui
