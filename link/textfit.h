#ifndef TEXTFIT_H
#define TEXTFIT_H

#include <QStringList>

class QComboBox;
class QFontMetrics;
class QHeaderView;
class QLabel;
class QLineEdit;
class QTableView;
class QWidget;

// Widths from the font a widget actually gets, so that no text is cut when the
// desktop substitutes a wider font than the forms were drawn with. Widgets are
// only ever widened; table columns take exactly what their texts need.
class TextFit
{
public:
    // The forms were drawn with Arial's metrics. Away from Windows the window
    // asks for Arial at the desktop's size, which fontconfig gives as a font of
    // the same metrics (Liberation Sans) where one is installed.
    static void useFormFont(QWidget *window);
    // A caption much wider than every text of its column goes on two lines.
    static void wrapCaption(QTableView *table, int column, const QStringList &texts);
    static QString twoLineCaption(const QFontMetrics &metrics, const QString &caption, int valueWidth);
    // Sets the column to the wider of its header and its widest possible text.
    static void fitColumn(QTableView *table, int column, const QStringList &texts);
    // Widens a label placed without a layout to its text.
    static void fitLabel(QLabel *label);
    // A combo box never narrower than its widest item; true when it grew.
    static bool fitComboBox(QComboBox *box);
    // A line edit at least this many digits wide.
    static void fitLineEdit(QLineEdit *edit, int digits);
    // Lifts a form's maximum and minimum widths where its contents need more.
    static void allowContents(QWidget *widget);
    // Total width of the table's columns with its frame, row header and scroll bar.
    static int tableWidth(const QTableView *table);

    // Width of the text without the trailing spaces, which are never seen.
    static int visibleWidth(const QFontMetrics &metrics, const QString &text);
    // Room a cell of the table needs for the text.
    static int cellWidth(const QTableView *table, const QString &text);
    // Room a section of the header needs for its caption (its widest line).
    static int headerWidth(const QHeaderView *header, int section);
};

#endif // TEXTFIT_H
