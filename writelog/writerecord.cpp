#include "writerecord.h"

#include "configdiff.h"
#include "configfile.h"
#include "configimage.h"
#include "configtransfer.h"

namespace {

constexpr int MainParts = 21;
constexpr int TailStep = 21;
constexpr int PhoneStep = 22;
constexpr int ClockStep = 23;
constexpr int FirstCommitStep = 24;
constexpr int LastCommitStep = 26;

} // namespace

QString WriteRecord::outcomeDisplay() const
{
    return outcome == Unfinished ? tr("не завершена") : outcomeText;
}

QString WriteRecord::beforeSourceText() const
{
    switch (beforeSource) {
    case BeforeRead:
        return tr("прочитана в этом сеансе");
    case BeforeReadFirst:
        return tr("прочитана перед записью");
    case BeforeWritten:
        return tr("записана ранее в этом сеансе");
    case BeforeUnknown:
        break;
    }
    return tr("неизвестна");
}

QString WriteRecord::changesText() const
{
    return changes < 0 ? QStringLiteral("—") : QString::number(changes);
}

bool WriteRecord::reachedController() const
{
    return outcome == Written || outcome == SimNotReady || outcome == SimFailed;
}

WriteRecord::Outcome WriteRecord::outcomeOfStatus(const QString &text)
{
    if (text == ConfigTransfer::writeDoneText() || text == ConfigTransfer::simDoneText())
        return Written;
    if (text == ConfigTransfer::simNotReadyText())
        return SimNotReady;
    if (text == ConfigTransfer::simFailedText())
        return SimFailed;
    return Unfinished;
}

// Progress names the step that has just ended; the failure is in the next one.
QString WriteRecord::stepName(int lastProgress)
{
    const int step = lastProgress + 1;
    if (step < MainParts)
        return tr("основная часть %1 из %2").arg(step + 1).arg(MainParts);
    if (step == TailStep)
        return tr("конец основной части");
    if (step == PhoneStep)
        return tr("номера телефонов");
    if (step == ClockStep)
        return tr("часы");
    if (step <= LastCommitStep)
        return tr("подтверждение, этап %1").arg(step - FirstCommitStep + 1);
    return tr("ожидание SIM карты");
}

int WriteRecord::countChanges(const QByteArray &before, const QByteArray &written)
{
    ConfigImage left;
    ConfigImage right;
    if (!ConfigFile::fromBytes(before, &left) || !ConfigFile::fromBytes(written, &right))
        return -1;
    return ConfigDiff::compare(left, right).size();
}
