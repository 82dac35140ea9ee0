#ifndef TEXTFITCHECK_H
#define TEXTFITCHECK_H

#include <QStringList>

class QWidget;

// Every text a shown window would cut: labels, combo box items, line edits
// (a free-text field must take 16 digits, a spin box's its own text), buttons,
// and table columns (caption, rows, and every choice of a column's drop-down
// editor). Walks all widgets, so new ones are covered without naming them.
// Each entry names the widget, the text and the widths.
QStringList cutTexts(QWidget *window);

#endif // TEXTFITCHECK_H
