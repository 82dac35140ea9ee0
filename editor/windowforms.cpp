#include "windowforms.h"
#include "ui_mainwindow.h"

#include "configimage.h"
#include "registermap.h"
#include "textfit.h"

#include <QDate>
#include <QRegularExpressionValidator>
#include <QTime>

namespace {

constexpr int RelayCount = 4;
constexpr int PhoneDigits = 16; // room for any number the SIM card takes, with its "+"

} // namespace

WindowForms::WindowForms(Ui::MainWindow *form, ConfigImage &image) : ui(form), image(image) {}

void WindowForms::refresh()
{
    refreshPhones();
    refreshRelayPositions();
    refreshPollingMode();
    refreshClock();
}

void WindowForms::gather()
{
    gatherPhones();
    gatherRelayPositions();
    gatherPollingMode();
    gatherClock();
}

void WindowForms::setInitialSelections()
{
    for (QComboBox *box : {ui->comboBoxDiscreteInputType, ui->comboBoxDiscreteInputRelay,
                           ui->comboBoxDiscreteInputValve, ui->comboBoxDiscreteInputDelay,
                           ui->comboBoxValveEventBreack, ui->comboBoxValveEventClose,
                           ui->comboBoxRelayValveClose, ui->comboBoxSensorThres1Relay,
                           ui->comboBoxSensorThres1Valve, ui->comboBoxSensorThres2Relay,
                           ui->comboBoxSensorThres2Valve, ui->comboBoxSensorDefectRelay,
                           ui->comboBoxSensorDefectValve, ui->comboBoxSensorFireRelay,
                           ui->comboBoxSensorFireValve})
        box->setCurrentIndex(0);
    ui->comboBoxDiscreteInputName->setCurrentIndex(1); // "Пожар"
}

void WindowForms::installPhoneValidator(QObject *owner)
{
    // Plain ASCII digits: a number is sent to the SIM card byte for byte.
    auto *validator = new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[+]?\\d{1,12}")), owner);
    for (QLineEdit *edit : {ui->lineEdit, ui->lineEdit_2, ui->lineEdit_3, ui->lineEdit_4,
                            ui->lineEdit_5, ui->lineEdit_6})
        edit->setValidator(validator);
}

// Widths from the font the desktop gives, for what the form sized by hand:
// number fields, boxes, the valve table and the groups that capped their
// width. The boxes' lists change with the polling mode, so after every
// refresh; a form wider than the screen scrolls.
void WindowForms::fitForms()
{
    bool grown = !formsFitted;
    const auto boxes = ui->centralWidget->findChildren<QComboBox *>();
    for (QComboBox *box : boxes)
        grown = TextFit::fitComboBox(box) || grown;
    if (!grown)
        return;
    for (QLineEdit *edit : {ui->lineEdit, ui->lineEdit_2, ui->lineEdit_3, ui->lineEdit_4,
                            ui->lineEdit_5, ui->lineEdit_6})
        TextFit::fitLineEdit(edit, PhoneDigits);
    for (QTableWidget *table : {ui->tableValve, ui->tableSensorThres1, ui->tableSensorThres2,
                                ui->tableSensorDefect, ui->tableSensorFire})
        table->setMinimumWidth(TextFit::tableWidth(table));
    for (QWidget *group : {ui->groupBox_2, ui->groupBox_3, ui->groupBox_6, ui->groupBox_8})
        TextFit::allowContents(group);
    formsFitted = true;
}

// The sensor row spans the whole grid: on a screen narrower than the form it
// would spread its four groups past the right edge, "Пожар" out of sight.
// It keeps to the visible width instead, which changes nothing where the
// form fits; only the groups above it then need scrolling to.
void WindowForms::fitSensorsToView()
{
    const QMargins margins = ui->gridLayout->contentsMargins();
    const int visible = ui->scrollArea->viewport()->width() - margins.left() - margins.right();
    ui->groupBox_7->setMaximumWidth(qMax(visible, ui->groupBox_7->minimumSizeHint().width()));
}

namespace {

QList<QLineEdit *> phoneEdits(Ui::MainWindow *ui)
{
    return {ui->lineEdit, ui->lineEdit_2, ui->lineEdit_3,
            ui->lineEdit_4, ui->lineEdit_5, ui->lineEdit_6};
}

QList<QCheckBox *> dialBoxes(Ui::MainWindow *ui)
{
    return {ui->checkBox_2, ui->checkBox_3, ui->checkBox_4,
            ui->checkBox_5, ui->checkBox_6, ui->checkBox_7};
}

QList<QComboBox *> relayBoxes(Ui::MainWindow *ui)
{
    return {ui->comboBoxRelay1, ui->comboBoxRelay2, ui->comboBoxRelay3, ui->comboBoxRelay4};
}

using RegisterMap::Clock::Day;
using RegisterMap::Clock::Hour;
using RegisterMap::Clock::Minute;
using RegisterMap::Clock::Month;
using RegisterMap::Clock::Second;
using RegisterMap::Clock::Year;
using RegisterMap::Clock::YearBase;

} // namespace

void WindowForms::refreshPhones()
{
    const QList<QLineEdit *> edits = phoneEdits(ui);
    const QList<QCheckBox *> boxes = dialBoxes(ui);
    for (int i = 0; i < ConfigImage::PhoneCount; ++i) {
        edits.at(i)->setText(image.phoneNumber(i));
        boxes.at(i)->setChecked(!image.bit(ConfigImage::DialFlags, i));
    }
}

// One byte per character, the inverse of refreshPhones: typed numbers are
// ASCII anyway, and bytes that came from a file or controller go back as
// they were instead of growing into multi-byte sequences.
void WindowForms::gatherPhones()
{
    const QList<QLineEdit *> edits = phoneEdits(ui);
    const QList<QCheckBox *> boxes = dialBoxes(ui);
    for (int i = 0; i < ConfigImage::PhoneCount; ++i) {
        image.setPhoneNumber(i, edits.at(i)->text().toLatin1());
        image.setBit(ConfigImage::DialFlags, i, !boxes.at(i)->isChecked());
    }
}

void WindowForms::refreshRelayPositions()
{
    const QList<QComboBox *> boxes = relayBoxes(ui);
    for (int k = 0; k < RelayCount; ++k)
        boxes.at(k)->setCurrentText(
            ConfigImage::relayPositionText(image.bit(ConfigImage::RelayPositions, k)));
}

void WindowForms::gatherRelayPositions()
{
    const QList<QComboBox *> boxes = relayBoxes(ui);
    for (int k = 0; k < RelayCount; ++k)
        image.setBit(ConfigImage::RelayPositions, k,
                     ConfigImage::relayPositionFromText(boxes.at(k)->currentText()));
}

// Any mode but 0 is the addressed one, as in the tables, so that buttons,
// tables and the next gather (which stores 1) all agree.
void WindowForms::refreshPollingMode()
{
    const bool addressed = image.word(ConfigImage::PollingMode) != 0;
    ui->radioButtonModeAdr->setChecked(addressed);
    ui->radioButtonModeNoAdr->setChecked(!addressed);
}

void WindowForms::gatherPollingMode()
{
    image.setWord(ConfigImage::PollingMode, ui->radioButtonModeAdr->isChecked() ? 1 : 0);
}

void WindowForms::refreshClock()
{
    const QTime time(image.ClockBlock[Hour], image.ClockBlock[Minute], image.ClockBlock[Second]);
    if (time.isValid())
        ui->timeEdit->setTime(time);
    const int year = YearBase + (image.ClockBlock[Year] | (image.ClockBlock[Year + 1] << 8));
    const QDate date(year, image.ClockBlock[Month], image.ClockBlock[Day]);
    if (date.isValid() && date >= ui->dateEdit->minimumDate()
        && date <= ui->dateEdit->maximumDate())
        ui->dateEdit->setDate(date);
    followSystemClock();
}

// While "Системное время" is checked the editors show the computer's clock,
// so a save or write at any moment stores the time of that moment.
void WindowForms::followSystemClock()
{
    if (!ui->checkBox->isChecked())
        return;
    ui->timeEdit->setTime(QTime::currentTime());
    ui->dateEdit->setDate(QDate::currentDate());
}

// Byte 5 is not the editor's: it keeps whatever was read or loaded.
void WindowForms::gatherClock()
{
    const QTime time = ui->timeEdit->time();
    const QDate date = ui->dateEdit->date();
    const int year = qBound(0, date.year() - YearBase, 0xFFFF);
    image.ClockBlock[Hour] = quint8(time.hour());
    image.ClockBlock[Minute] = quint8(time.minute());
    image.ClockBlock[Second] = quint8(time.second());
    image.ClockBlock[Month] = quint8(date.month());
    image.ClockBlock[Day] = quint8(date.day());
    image.ClockBlock[Year] = quint8(year & 0xFF);
    image.ClockBlock[Year + 1] = quint8(year >> 8);
}
