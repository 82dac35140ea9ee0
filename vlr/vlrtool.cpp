#include "vlrtool.h"

#include "configdiff.h"
#include "configfile.h"
#include "configimage.h"
#include "writelog.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString ProgramName = QStringLiteral("tarvik-vlr");

QString troubleLine(const QString &text)
{
    return QStringLiteral("%1: %2\n").arg(ProgramName, text);
}

QString jsonText(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

} // namespace

QString VlrTool::helpText()
{
    return QStringLiteral(
        "Использование:\n"
        "  tarvik-vlr show [--json] ФАЙЛ\n"
        "  tarvik-vlr diff [--json] ФАЙЛ_A ФАЙЛ_B\n"
        "  tarvik-vlr history [--json] [ФАЙЛ_ЗАПИСЕЙ]\n"
        "  tarvik-vlr --help\n"
        "\n"
        "Конфигурация контроллера (файл .vlr) словами окна редактора.\n"
        "\n"
        "  show    каждый параметр, который показывает окно, строкой\n"
        "          «параметр: значение», в порядке окна\n"
        "  diff    каждое различие строкой «параметр: A -> B»; часы, неиспользуемые\n"
        "          байты и байты только файла не сравниваются; за одинаковым текстом\n"
        "          с разными значениями в памяти следуют значения в скобках\n"
        "  history записи конфигураций в контроллеры, новые первыми: время начала\n"
        "          и конца, инженер, подключение, число изменённых полей, итог;\n"
        "          без файла — история записей редактора (TARVIK_WRITE_LOG или\n"
        "          Tarvik/writes.sqlite в папке данных пользователя)\n"
        "  --json  то же содержимое одним документом JSON\n"
        "  --help  эта справка\n"
        "\n"
        "Вывод в UTF-8. Код возврата: 0 — различий нет (или show выполнена),\n"
        "1 — есть различия, 2 — ошибка (файл не найден, не читается или короче\n"
        "2858 байт, неверные аргументы).\n");
}

VlrTool::Request VlrTool::parse(const QStringList &arguments)
{
    Request request;
    QStringList words;
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--json"))
            request.json = true;
        else if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            request.help = true;
        else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1)
            request.error = QStringLiteral("неизвестный параметр «%1»").arg(argument);
        else
            words.append(argument);
    }
    if (request.help || !request.error.isEmpty())
        return request;
    request.command = words.value(0);
    request.files = words.mid(1);
    if (request.command.isEmpty())
        request.error = QStringLiteral("не указана команда (show, diff или history)");
    else if (request.command != QLatin1String("show") && request.command != QLatin1String("diff")
             && request.command != QLatin1String("history"))
        request.error = QStringLiteral("неизвестная команда «%1»").arg(request.command);
    else if (request.command == QLatin1String("show") && request.files.size() != 1)
        request.error = QStringLiteral("show ожидает один файл");
    else if (request.command == QLatin1String("diff") && request.files.size() != 2)
        request.error = QStringLiteral("diff ожидает два файла");
    else if (request.command == QLatin1String("history") && request.files.size() > 1)
        request.error = QStringLiteral("history ожидает не больше одного файла");
    return request;
}

int VlrTool::run(const QStringList &arguments, QIODevice &out, QIODevice &err)
{
    const Request request = parse(arguments);
    if (request.help) {
        write(out, helpText());
        return Equal;
    }
    if (!request.error.isEmpty()) {
        write(err, troubleLine(request.error)
                       + QStringLiteral("Справка: %1 --help\n").arg(ProgramName));
        return Trouble;
    }
    if (request.command == QLatin1String("history"))
        return history(request, out, err);
    return request.command == QLatin1String("show") ? show(request, out, err)
                                                     : diff(request, out, err);
}

// ConfigFile's message names the file and says why, short files included.
bool VlrTool::load(const QString &path, ConfigImage &image, QIODevice &err)
{
    QString error;
    if (ConfigFile::load(path, &image, &error))
        return true;
    write(err, troubleLine(error));
    return false;
}

int VlrTool::show(const Request &request, QIODevice &out, QIODevice &err)
{
    ConfigImage image;
    const QString &path = request.files.at(0);
    if (!load(path, image, err))
        return Trouble;
    const QVector<ConfigDiff::Field> fields = ConfigDiff::fields(image);
    if (request.json) {
        QJsonArray list;
        for (const ConfigDiff::Field &field : fields)
            list.append(QJsonObject{{QStringLiteral("field"), field.field},
                                    {QStringLiteral("value"), ConfigDiff::printable(field.value)}});
        write(out, jsonText({{QStringLiteral("file"), path}, {QStringLiteral("fields"), list}}));
        return Equal;
    }
    QString text;
    for (const ConfigDiff::Field &field : fields)
        text += QStringLiteral("%1: %2\n").arg(field.field, ConfigDiff::printable(field.value));
    write(out, text);
    return Equal;
}

int VlrTool::diff(const Request &request, QIODevice &out, QIODevice &err)
{
    ConfigImage left;
    ConfigImage right;
    if (!load(request.files.at(0), left, err) || !load(request.files.at(1), right, err))
        return Trouble;
    const QVector<ConfigDiff::Entry> entries = ConfigDiff::compare(left, right);
    if (request.json) {
        QJsonArray list;
        for (const ConfigDiff::Entry &entry : entries)
            list.append(QJsonObject{{QStringLiteral("field"), entry.field},
                                    {QStringLiteral("left"), ConfigDiff::printable(entry.left)},
                                    {QStringLiteral("right"), ConfigDiff::printable(entry.right)}});
        write(out, jsonText({{QStringLiteral("left"), request.files.at(0)},
                             {QStringLiteral("right"), request.files.at(1)},
                             {QStringLiteral("equal"), entries.isEmpty()},
                             {QStringLiteral("differences"), list}}));
    } else {
        QString text;
        for (const ConfigDiff::Entry &entry : entries)
            text += QStringLiteral("%1: %2 -> %3\n")
                        .arg(entry.field, ConfigDiff::printable(entry.left),
                             ConfigDiff::printable(entry.right));
        write(out, text);
    }
    return entries.isEmpty() ? Equal : Different;
}

// Read-only: listing never creates, changes or sets aside a record file.
int VlrTool::history(const Request &request, QIODevice &out, QIODevice &err)
{
    const QString path = request.files.value(0, WriteLog::defaultPath());
    WriteLog log;
    if (!log.openReadOnly(path)) {
        write(err, troubleLine(log.problem()));
        return Trouble;
    }
    const QVector<WriteRecord> records = log.records();
    const QString timeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    if (request.json) {
        QJsonArray list;
        for (const WriteRecord &record : records)
            list.append(QJsonObject{
                {QStringLiteral("id"), record.id},
                {QStringLiteral("started"), record.started.toString(Qt::ISODate)},
                {QStringLiteral("ended"), record.ended.isValid() ? QJsonValue(record.ended.toString(Qt::ISODate))
                                                                 : QJsonValue()},
                {QStringLiteral("engineer"), record.engineer},
                {QStringLiteral("link"), record.link},
                {QStringLiteral("before"), record.beforeSourceText()},
                {QStringLiteral("changes"), record.changes < 0 ? QJsonValue() : QJsonValue(record.changes)},
                {QStringLiteral("finished"), record.outcome != WriteRecord::Unfinished},
                {QStringLiteral("outcome"), record.outcomeDisplay()}});
        write(out, jsonText({{QStringLiteral("file"), path}, {QStringLiteral("records"), list}}));
        return Equal;
    }
    QString text;
    for (const WriteRecord &record : records)
        text += QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\n")
                    .arg(record.started.toString(timeFormat),
                         record.ended.isValid() ? record.ended.toString(timeFormat) : QStringLiteral("—"),
                         record.engineer, record.link, record.changesText(), record.outcomeDisplay());
    write(out, text);
    return Equal;
}

void VlrTool::write(QIODevice &device, const QString &text)
{
    device.write(text.toUtf8());
}
