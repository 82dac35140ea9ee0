#include "protocoldocument.h"

#include "pageddocument.h"

#include "configfields.h"
#include "registermap.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>

namespace {

QString escaped(const QString &text)
{
    return ConfigDiff::printable(text).toHtmlEscaped();
}

QString row(const QStringList &cells, const char *tag = "td")
{
    QString text = QStringLiteral("<tr>");
    for (const QString &cell : cells)
        text += QStringLiteral("<%1>%2</%1>").arg(QLatin1String(tag), escaped(cell));
    return text + QStringLiteral("</tr>");
}

QString tableStart()
{
    return QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"2\" width=\"100%\" "
                          "style=\"border-collapse: collapse;\">");
}

struct Place {
    QString group;
    QString row;
    bool numbered;
};

// Where the window shows a field: its group box and the row in it.
Place placeOf(const QString &rowName)
{
    static const QRegularExpression numberedRow(QStringLiteral("^(Дискретный вход|Клапан) (\\d+)$"));
    static const QRegularExpression sensorRow(QStringLiteral("^(.+), датчик (\\d+)$"));
    static const QHash<QString, QString> tableTitles = {
        {QStringLiteral("Дискретный вход"), QStringLiteral("Дискретные входа")},
        {QStringLiteral("Клапан"), QStringLiteral("Клапан")}};
    QRegularExpressionMatch match = numberedRow.match(rowName);
    if (match.hasMatch())
        return {tableTitles.value(match.captured(1)), match.captured(2), true};
    match = sensorRow.match(rowName);
    if (match.hasMatch())
        return {match.captured(1), match.captured(2), true};
    for (const ConfigFields::SensorGroup &group : ConfigFields::sensorGroups()) {
        if (rowName == group.title)
            return {group.title, QString(), true};
    }
    if (rowName.startsWith(QStringLiteral("Реле ")))
        return {QStringLiteral("Положение реле"), rowName, false};
    if (rowName.startsWith(QStringLiteral("Номер ")))
        return {QStringLiteral("GSM"), rowName, false};
    return {rowName, rowName, false};
}

} // namespace

ProtocolDocument::ProtocolDocument(const Content &content) : content(content) {}

QString ProtocolDocument::pageFooter(int page, int pages)
{
    return PagedDocument::pageFooter(page, pages);
}

// A clock never set (a new configuration keeps zeros there) is said so, not
// printed as a date that cannot be.
QString ProtocolDocument::clockText(const ConfigImage &image)
{
    using namespace RegisterMap::Clock;
    const int year = YearBase + (image.ClockBlock[Year] | (image.ClockBlock[Year + 1] << 8));
    const QDateTime time(QDate(year, image.ClockBlock[Month], image.ClockBlock[Day]),
                         QTime(image.ClockBlock[Hour], image.ClockBlock[Minute], image.ClockBlock[Second]));
    return time.isValid() ? time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : tr("не задано");
}

// Fields come in the window's order, so a group's rows and columns come in
// the order its table shows them.
QVector<ProtocolDocument::Group> ProtocolDocument::groups(const ConfigImage &image)
{
    QVector<Group> result;
    QHash<QString, int> groupIndex;
    QHash<QString, int> rowIndex; // "group\nrow"
    const QString valueColumn = tr("Значение");
    for (const ConfigDiff::Field &field : ConfigDiff::fields(image)) {
        const int colon = field.field.indexOf(QStringLiteral(": "));
        const QString rowName = colon < 0 ? field.field : field.field.left(colon);
        const QString column = colon < 0 ? valueColumn : field.field.mid(colon + 2);
        const Place place = placeOf(rowName);
        if (!groupIndex.contains(place.group)) {
            groupIndex.insert(place.group, result.size());
            result.append({place.group, {place.numbered ? tr("№") : tr("Параметр")}, {}});
        }
        Group &group = result[groupIndex.value(place.group)];
        int columnAt = group.columns.indexOf(column);
        if (columnAt < 0) {
            group.columns.append(column);
            columnAt = group.columns.size() - 1;
        }
        const QString rowKey = place.group + QLatin1Char('\n') + place.row;
        if (!rowIndex.contains(rowKey)) {
            rowIndex.insert(rowKey, group.rows.size());
            group.rows.append({place.row});
        }
        QStringList &cells = group.rows[rowIndex.value(rowKey)];
        while (cells.size() <= columnAt)
            cells.append(QString());
        cells[columnAt] = field.value;
    }
    result.append({tr("Дата и время"), {tr("Параметр"), valueColumn},
                   {{tr("Часы в конфигурации"), clockText(image)}}});
    return result;
}

QString ProtocolDocument::html() const
{
    return QStringLiteral("<html><body>") + headHtml() + groupsHtml() + differencesHtml()
        + signaturesHtml() + QStringLiteral("</body></html>");
}

QString ProtocolDocument::headHtml() const
{
    const QString none = tr("не указано");
    QString text = QStringLiteral("<h2>%1</h2><p>").arg(escaped(tr("Протокол настройки контроллера")));
    const QPair<QString, QString> fields[] = {
        {tr("Объект"), content.object.trimmed().isEmpty() ? none : content.object.trimmed()},
        {tr("Подключение"), content.link.isEmpty() ? none : content.link},
        {tr("Время контроллера"), content.controllerTime.isEmpty() ? tr("не читалось") : content.controllerTime},
        {tr("Дата"), content.date.toString(QStringLiteral("dd.MM.yyyy HH:mm"))},
        {tr("Инженер"), content.engineer},
    };
    for (const auto &field : fields)
        text += QStringLiteral("<b>%1:</b> %2<br/>").arg(escaped(field.first), escaped(field.second));
    return text + QStringLiteral("</p>");
}

QString ProtocolDocument::groupsHtml() const
{
    QString text;
    for (const Group &group : groups(content.image)) {
        text += QStringLiteral("<h3>%1</h3>").arg(escaped(group.title)) + tableStart()
            + QStringLiteral("<thead>") + row(group.columns, "th") + QStringLiteral("</thead>");
        for (const QStringList &cells : group.rows)
            text += row(cells);
        text += QStringLiteral("</table>");
    }
    return text;
}

QString ProtocolDocument::differencesHtml() const
{
    QString text = QStringLiteral("<h3>%1</h3>").arg(escaped(tr("Отличия от предыдущей записи")));
    if (!content.hasPrevious)
        return text + QStringLiteral("<p>%1</p>").arg(escaped(tr("Записей по этому подключению нет.")));
    const QString when = content.previousWrite.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    if (content.differences.isEmpty())
        return text + QStringLiteral("<p>%1</p>").arg(escaped(tr("Различий с записью от %1 нет.").arg(when)));
    text += tableStart() + QStringLiteral("<thead>")
        + row({tr("Параметр"), tr("Запись от %1").arg(when), tr("В протоколе")}, "th")
        + QStringLiteral("</thead>");
    for (const ConfigDiff::Entry &entry : content.differences)
        text += row({entry.field, entry.left, entry.right});
    return text + QStringLiteral("</table>");
}

QString ProtocolDocument::signaturesHtml() const
{
    const QString line = QStringLiteral("______________________________");
    QString text = QStringLiteral("<br/><table cellpadding=\"8\" width=\"100%\">");
    text += row({tr("Настроил"), line, content.engineer});
    text += row({tr("Проверил"), line, QString()});
    text += row({tr("Дата"), line, QString()});
    return text + QStringLiteral("</table>");
}

int ProtocolDocument::print(QPagedPaintDevice *device, const PagedDocument::Progress &progress) const
{
    PagedDocument document(html(), 9);
    document.setProgress(progress);
    return document.print(device);
}

int ProtocolDocument::writePdf(const QString &path, QString *error, const PagedDocument::Progress &progress) const
{
    PagedDocument document(html(), 9);
    document.setProgress(progress);
    return document.writePdf(path, tr("Протокол настройки контроллера"), QStringLiteral("TarvikEditor"), error);
}
