#include "shiftreportdocument.h"

#include "pageddocument.h"

namespace {

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString cell(const QString &text, const char *tag = "td")
{
    return QStringLiteral("<%1>%2</%1>").arg(QLatin1String(tag), escaped(text));
}

// A head cell with its share of the page, so the name gets what the times leave.
QString head(const QString &text, int percent)
{
    return QStringLiteral("<th width=\"%1%\">%2</th>").arg(percent).arg(escaped(text));
}

QString tableStart()
{
    return QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\" "
                          "style=\"border-collapse: collapse;\">");
}

} // namespace

ShiftReportDocument::ShiftReportDocument(const ShiftReport &report) : report(report) {}

QString ShiftReportDocument::pageFooter(int page, int pages)
{
    return PagedDocument::pageFooter(page, pages);
}

QString ShiftReportDocument::html() const
{
    return QStringLiteral("<html><body>") + headHtml() + countsHtml() + eventsHtml()
        + failuresHtml() + lampsHtml() + QStringLiteral("</body></html>");
}

QString ShiftReportDocument::headHtml() const
{
    const QString none = tr("не указано");
    QString text = QStringLiteral("<h2>%1</h2><p>").arg(escaped(tr("Отчёт за смену")));
    const QPair<QString, QString> fields[] = {
        {tr("Объект (линии опроса)"), report.lines.isEmpty() ? none : report.lines.join(QStringLiteral("; "))},
        {tr("Компьютер"), report.computer.isEmpty() ? none : report.computer},
        {tr("Дежурный"), report.guard},
        {tr("Период"), report.periodText()},
    };
    for (const auto &field : fields)
        text += QStringLiteral("<b>%1:</b> %2<br/>").arg(escaped(field.first), escaped(field.second));
    text += QStringLiteral("</p>");
    if (!report.error.isEmpty())
        text += QStringLiteral("<p><b>%1</b></p>").arg(escaped(tr("Журнал не прочитан: %1").arg(report.error)));
    return text;
}

QString ShiftReportDocument::countsHtml() const
{
    QString text = QStringLiteral("<h3>%1</h3>").arg(escaped(tr("Записи журнала за период")));
    if (report.counts.isEmpty())
        return text + QStringLiteral("<p>%1</p>").arg(escaped(tr("Записей нет.")));
    text += tableStart() + QStringLiteral("<thead><tr>") + cell(tr("Запись"), "th")
        + cell(tr("Количество"), "th") + QStringLiteral("</tr></thead>");
    for (const ShiftReport::Count &count : report.counts)
        text += QStringLiteral("<tr>") + cell(count.what) + cell(QString::number(count.count)) + QStringLiteral("</tr>");
    text += QStringLiteral("</table><p>%1</p>")
                .arg(escaped(tr("Неквитированных текущих событий: %1").arg(report.unacknowledged)));
    return text;
}

QString ShiftReportDocument::eventsHtml() const
{
    QString text = QStringLiteral("<h3>%1</h3>").arg(escaped(tr("Текущие события")));
    if (report.events.isEmpty())
        return text + QStringLiteral("<p>%1</p>").arg(escaped(tr("Событий не было.")));
    bool controllers = false;
    for (const ShiftReport::Event &event : report.events)
        controllers = controllers || !event.controller.isEmpty();
    text += tableStart() + QStringLiteral("<thead><tr>") + head(tr("№"), controllers ? 4 : 5)
        + head(tr("Получено"), controllers ? 13 : 15)
        + (controllers ? head(tr("Контроллер"), 17) : QString()) + head(tr("Событие"), controllers ? 22 : 35)
        + head(tr("Время события"), controllers ? 14 : 15) + head(tr("Квитировано"), 15) + head(tr("Дежурный"), 15)
        + QStringLiteral("</tr></thead>");
    int number = 0;
    for (const ShiftReport::Event &event : report.events) {
        text += QStringLiteral("<tr>") + cell(QString::number(++number)) + cell(event.received)
            + (controllers ? cell(event.controller) : QString()) + cell(event.name) + cell(event.occurred)
            + cell(event.acknowledged.isEmpty() ? tr("нет") : event.acknowledged) + cell(event.guard)
            + QStringLiteral("</tr>");
    }
    text += QStringLiteral("</table>");
    if (report.eventTotal > report.events.size()) {
        text += QStringLiteral("<p>%1</p>").arg(escaped(tr("Показаны первые %1 событий из %2; все они есть "
                                                          "во вкладке «Журнал».")
                                                           .arg(report.events.size())
                                                           .arg(report.eventTotal)));
    }
    return text;
}

QString ShiftReportDocument::failuresHtml() const
{
    QString text = QStringLiteral("<h3>%1</h3>").arg(escaped(tr("Отказы линии")));
    if (report.failures.isEmpty())
        return text + QStringLiteral("<p>%1</p>").arg(escaped(tr("Отказов не было.")));
    text += QStringLiteral("<p>");
    for (const ShiftReport::Failure &failure : report.failures)
        text += escaped(failure.received + QStringLiteral(" — ") + failure.text) + QStringLiteral("<br/>");
    return text + QStringLiteral("</p>");
}

QString ShiftReportDocument::lampsHtml() const
{
    const QString title = report.lampsOf.isEmpty()
        ? tr("Пульт в конце периода")
        : tr("Пульт в конце периода: «%1»").arg(report.lampsOf);
    QString text = QStringLiteral("<h3>%1</h3>").arg(escaped(title));
    if (report.lamps.isEmpty())
        return text + QStringLiteral("<p>%1</p>").arg(escaped(tr("Состояние пульта неизвестно.")));
    text += QStringLiteral("<p>");
    for (const auto &lamp : report.lamps)
        text += QStringLiteral("%1: %2<br/>").arg(escaped(lamp.first), escaped(lamp.second));
    return text + QStringLiteral("</p>");
}

int ShiftReportDocument::print(QPagedPaintDevice *device) const
{
    return PagedDocument(html(), 10).print(device);
}

int ShiftReportDocument::writePdf(const QString &path, QString *error) const
{
    return PagedDocument(html(), 10).writePdf(path, tr("Отчёт за смену"), QStringLiteral("TarvikScada"), error);
}
