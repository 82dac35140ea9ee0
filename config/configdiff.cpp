#include "configdiff.h"

#include "configfields.h"
#include "configimage.h"

namespace {

// Slot lengths sit after the six 30-byte slots.
constexpr int PhoneLengthOffset = ConfigImage::PhoneCount * ConfigImage::PhoneSlotSize;

int storedPhoneLength(const ConfigImage &image, int slot)
{
    const int at = PhoneLengthOffset + 2 * slot;
    return image.PhoneBlock[at] | (image.PhoneBlock[at + 1] << 8);
}

QString inputField(int input, int column)
{
    return QStringLiteral("Дискретный вход %1: %2").arg(input + 1).arg(ConfigFields::inputHeaders().at(column));
}

QString valveField(int valve, int column)
{
    return QStringLiteral("Клапан %1: %2").arg(valve).arg(ConfigFields::valveHeaders().at(column));
}

// The single line of the not addressed mode has no row label in the window.
QString sensorField(const QString &group, int entry, int column)
{
    const QString &header = ConfigFields::sensorHeaders().at(column);
    if (entry == 0)
        return QStringLiteral("%1: %2").arg(group, header);
    return QStringLiteral("%1, датчик %2: %3").arg(group).arg(entry).arg(header);
}

// Names are padded to a fixed width and "Нет   " carries spaces: of no use
// at the end of a line.
QString withoutPadding(const QString &text)
{
    int end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.left(end);
}

} // namespace

QVector<ConfigDiff::FieldRule> ConfigDiff::buildRules(Layout layout)
{
    const bool addressedRows = layout != Single;
    QVector<FieldRule> list;
    list.append({ConfigFields::pollingModeTitle(), PollingMode, ConfigImage::PollingMode, 0});
    for (int k = 0; k < 4; ++k)
        list.append({ConfigFields::relayLabel(k + 1), RelayPosition, ConfigImage::RelayPositions, k});

    for (int i = 0; i < ConfigFields::InputRows; ++i) {
        list.append({inputField(i, 1), Contact, ConfigImage::InputContactMask, i});
        list.append({inputField(i, 2), InputName, ConfigImage::InputName + i, 0});
        list.append({inputField(i, 3), Relay, ConfigImage::InputRelay + i, 0});
        list.append({inputField(i, 4), Valve, ConfigImage::InputValve + i, 0});
        list.append({inputField(i, 5), Delay, ConfigImage::InputDelay + 2 * i, 0});
    }

    const int valves = addressedRows ? ConfigFields::AddressedValveRows : 1;
    for (int v = 0; v < valves; ++v) {
        if (v == 0)
            list.append({valveField(v, 1), Close, ConfigImage::ValveFlags, 0});
        list.append({valveField(v, 2), Report, ConfigImage::ValveReportFlags + v, 0});
        list.append({valveField(v, 3), Report, ConfigImage::ValveReportFlags + v, 1});
        list.append({valveField(v, 4), Relay, ConfigImage::ValveStateRelay + v, 0});
        if (v == 0)
            list.append({valveField(v, 5), ValveType, ConfigImage::ValveType, 0});
    }

    for (int slot = 0; slot < ConfigImage::PhoneCount; ++slot) {
        const QString label = ConfigFields::phoneLabel(slot + 1);
        list.append({label, Phone, slot, 0});
        list.append({label + QStringLiteral(": ") + ConfigFields::dialTitle(), Dial, slot, 0});
    }

    QVector<int> entries;
    if (layout != Addressed)
        entries.append(0);
    if (addressedRows) {
        for (int row = 0; row < ConfigFields::AddressedSensorRows; ++row)
            entries.append(ConfigFields::sensorEntry(true, row));
    }
    for (const ConfigFields::SensorGroup &group : ConfigFields::sensorGroups()) {
        for (int entry : entries) {
            list.append({sensorField(group.title, entry, 1), Relay, group.relayOffset + entry, 0});
            list.append({sensorField(group.title, entry, 2), Valve, group.valveOffset + entry, 0});
        }
    }
    return list;
}

const QVector<ConfigDiff::FieldRule> &ConfigDiff::rules(Layout layout)
{
    static const QVector<FieldRule> single = buildRules(Single);
    static const QVector<FieldRule> addressed = buildRules(Addressed);
    static const QVector<FieldRule> both = buildRules(BothLayouts);
    switch (layout) {
    case Single:
        return single;
    case Addressed:
        return addressed;
    default:
        return both;
    }
}

ConfigDiff::Value ConfigDiff::valueOf(const FieldRule &rule, const ConfigImage &image)
{
    switch (rule.kind) {
    case PollingMode: {
        const int mode = image.word(rule.offset);
        return {ConfigImage::pollingModeText(mode), mode};
    }
    case RelayPosition: {
        const bool on = image.bit(rule.offset, rule.bit);
        return {ConfigImage::relayPositionText(on), on};
    }
    case Contact: {
        const bool open = image.dword(rule.offset) & (1u << rule.bit);
        return {ConfigImage::contactText(open), open};
    }
    case InputName:
        return {ConfigImage::inputNameText(image.byte(rule.offset)), image.byte(rule.offset)};
    case Relay:
        return {ConfigImage::relayText(image.byte(rule.offset)), image.byte(rule.offset)};
    case Valve:
        return {ConfigImage::valveText(image.byte(rule.offset)), image.byte(rule.offset)};
    case Delay:
        return {ConfigImage::delayText(image.word(rule.offset)), image.word(rule.offset)};
    case Close: {
        const bool close = image.bit(rule.offset, 0);
        return {ConfigImage::closeText(close), close};
    }
    case Report: {
        const bool report = image.bit(rule.offset, rule.bit);
        return {ConfigImage::reportText(report), report};
    }
    case ValveType:
        return {ConfigImage::valveTypeText(image.byte(rule.offset)), image.byte(rule.offset)};
    case Phone:
        return {image.phoneNumber(rule.offset), storedPhoneLength(image, rule.offset)};
    case Dial: {
        const bool dial = !image.bit(ConfigImage::DialFlags, rule.offset);
        return {ConfigFields::dialText(dial), dial};
    }
    }
    return {};
}

// Only reached when both texts agree, so the text alone would hide the change.
QString ConfigDiff::withStored(const FieldRule &rule, const Value &value)
{
    QString word = QStringLiteral("код");
    if (rule.kind == Phone)
        word = QStringLiteral("длина");
    else if (rule.kind == Delay || rule.kind == PollingMode)
        word = QStringLiteral("значение");
    return QStringLiteral("%1 (%2 %3)").arg(withoutPadding(value.text), word).arg(value.stored);
}

QVector<ConfigDiff::Field> ConfigDiff::fields(const ConfigImage &image)
{
    const QVector<FieldRule> &list = rules(ConfigFields::addressed(image) ? Addressed : Single);
    QVector<Field> result;
    result.reserve(list.size());
    for (const FieldRule &rule : list)
        result.append({rule.name, valueOf(rule, image).text});
    return result;
}

QVector<ConfigDiff::Entry> ConfigDiff::compare(const ConfigImage &left, const ConfigImage &right)
{
    const bool leftAddressed = ConfigFields::addressed(left);
    const Layout layout = leftAddressed != ConfigFields::addressed(right)
                              ? BothLayouts
                              : leftAddressed ? Addressed : Single;
    QVector<Entry> entries;
    for (const FieldRule &rule : rules(layout)) {
        const Value a = valueOf(rule, left);
        const Value b = valueOf(rule, right);
        if (a.text != b.text)
            entries.append({rule.name, a.text, b.text});
        else if (a.stored != b.stored)
            entries.append({rule.name, withStored(rule, a), withStored(rule, b)});
    }
    return entries;
}

QString ConfigDiff::printable(const QString &text)
{
    const QString trimmed = withoutPadding(text);
    QString result;
    result.reserve(trimmed.size());
    for (const QChar ch : trimmed) {
        const ushort code = ch.unicode();
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F))
            result += QStringLiteral("\\x") + QString::number(code, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else if (ch == QLatin1Char('\\'))
            result += QStringLiteral("\\\\");
        else
            result += ch;
    }
    return result;
}
