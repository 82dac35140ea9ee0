#include "configtransfer.h"
#include "registerlink.h"

#include <QHash>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

namespace {

struct Request
{
    char kind; // 'r' read, 'w' block write, 's' single write
    int address;
    int count;
    bool answered;
};

bool operator==(const Request &a, const Request &b)
{
    return a.kind == b.kind && a.address == b.address && a.count == b.count && a.answered == b.answered;
}

// A controller on a script: registers that hold what is written, a given
// number of nonzero reads for the commit and SIM-busy registers, failures
// at an address, failed reads before every good one, or silence from a
// given request on.
class ScriptedLink : public RegisterLink
{
public:
    QVector<quint16> regs = QVector<quint16>(4010, 0);
    QVector<Request> log;
    QHash<int, int> failNext;      // address -> next requests there that fail
    QHash<int, int> failsPerRead;  // address -> failed reads before each good one
    QHash<int, int> nonzeroReads;  // address -> reads answering 1 first (-1: always)
    int silentFrom = -1;
    bool shortAnswers = false;     // a failure answers one register short, not -1

    int readRegisters(int address, int count, quint16 *dest) override
    {
        if (!pass('r', address, count) || !passPattern(address))
            return failed(count);
        for (int i = 0; i < count; ++i)
            dest[i] = regs.at(address + i);
        int &held = nonzeroReads[address];
        if (held != 0) {
            dest[0] = 1;
            held = held > 0 ? held - 1 : held;
        }
        return count;
    }
    int readInputRegisters(int, int, quint16 *) override { return -1; }
    int writeRegister(int address, quint16) override
    {
        return pass('s', address, 1) ? 1 : failed(1); // the controller clears it itself
    }
    int writeRegisters(int address, int count, const quint16 *src) override
    {
        if (!pass('w', address, count))
            return failed(count);
        std::copy(src, src + count, regs.begin() + address);
        return count;
    }
    int count(char kind, int address) const
    {
        return int(std::count_if(log.begin(), log.end(), [=](const Request &r) {
            return r.kind == kind && r.address == address;
        }));
    }

private:
    bool pass(char kind, int address, int count)
    {
        bool ok = silentFrom < 0 || log.size() < silentFrom;
        if (ok && failNext.value(address) > 0) {
            --failNext[address];
            ok = false;
        }
        log.append({ kind, address, count, ok });
        return ok;
    }
    bool passPattern(int address)
    {
        const int fails = failsPerRead.value(address);
        if (fails == 0 || streak.value(address) == fails) {
            streak[address] = 0;
            return true;
        }
        ++streak[address];
        log.last().answered = false;
        return false;
    }
    int failed(int count) const { return shortAnswers ? count - 1 : -1; }
    QHash<int, int> streak;
};

class Recorder : public ConfigTransfer::Observer
{
public:
    QStringList events;
    void transferFailed(const QString &text) override { events << "fail:" + text; }
    void transferStatus(const QString &text) override { events << "status:" + text; }
    void transferProgress(int step) override { events << QString::number(step); }
    void transferReadComplete() override { events << "read"; }
    void transferWriteComplete() override { events << "write"; }
};

QStringList progress(int from, int to)
{
    QStringList steps;
    for (int step = from; step <= to; ++step)
        steps << QString::number(step);
    return steps;
}

QVector<Request> blockRequests(char kind)
{
    QVector<Request> expected;
    for (int i = 0; i < 21; ++i)
        expected.append({ kind, 63 * i, 63, true });
    expected.append({ kind, 1323, 3, true });
    expected.append({ kind, 1999, 96, true });
    expected.append({ kind, 2999, 4, true });
    return expected;
}

void randomize(ConfigImage &image, QRandomGenerator &random)
{
    for (quint8 &byte : image.MainBlock)
        byte = quint8(random.bounded(256));
    for (quint8 &byte : image.PhoneBlock)
        byte = quint8(random.bounded(256));
    for (quint8 &byte : image.ClockBlock)
        byte = quint8(random.bounded(256));
}

// Register base+k of the controller against bytes 2k (low) and 2k+1 (high).
bool blockMatches(const quint8 *bytes, int count, const QVector<quint16> &regs, int base)
{
    for (int k = 0; k < count; ++k) {
        if (bytes[2 * k] != (regs.at(base + k) & 0xFF) || bytes[2 * k + 1] != regs.at(base + k) >> 8)
            return false;
    }
    return true;
}

bool imageMatches(const ConfigImage &image, const QVector<quint16> &regs)
{
    return blockMatches(image.MainBlock, 1326, regs, 0) && blockMatches(image.PhoneBlock, 96, regs, 1999)
            && blockMatches(image.ClockBlock, 4, regs, 2999);
}

} // namespace

class TestConfigTransfer : public QObject
{
    Q_OBJECT

private slots:
    void readTakesEveryRegisterInOrder();
    void writeSendsEveryRegisterThenCommits();
    void blockRetries_data();
    void blockRetries();
    void commitStages_data();
    void commitStages();
    void simOutcomes_data();
    void simOutcomes();
    void silentControllerEndsEveryWrite();
    void silentControllerLeavesImageUnchanged();

private:
    QRandomGenerator random{ 20240611 };
};

void TestConfigTransfer::readTakesEveryRegisterInOrder()
{
    ScriptedLink link;
    for (quint16 &value : link.regs)
        value = quint16(random.bounded(65536));
    ConfigImage image;
    randomize(image, random);
    const QByteArray fileOnly(reinterpret_cast<const char *>(image.MainBlock + 2652), 6);
    Recorder recorder;

    QVERIFY(ConfigTransfer(link, recorder).readConfig(image));

    QCOMPARE(link.log, blockRequests('r'));
    QCOMPARE(recorder.events, progress(0, 23) << "read" << "status:Данные прочитаны");
    QVERIFY(imageMatches(image, link.regs));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(image.MainBlock + 2652), 6), fileOnly);
}

void TestConfigTransfer::writeSendsEveryRegisterThenCommits()
{
    ScriptedLink link;
    ConfigImage image;
    randomize(image, random);
    Recorder recorder;

    QVERIFY(ConfigTransfer(link, recorder).writeConfig(image));

    QVERIFY(imageMatches(image, link.regs));
    QVector<Request> expected = blockRequests('w');
    for (int reg : { 4004, 4005, 4006 })
        expected << Request{ 's', reg, 1, true } << Request{ 'r', reg, 1, true };
    expected << Request{ 'r', 4009, 1, true } << Request{ 'r', 4008, 1, true };
    QCOMPARE(link.log, expected); // nothing beyond register 1325 of the main block travels
    QCOMPARE(recorder.events, progress(0, 26)
             << "status:Данные отправлены! Идет запись номеров телефона на SIM карту"
             << "status:Данные отправлены" << "write");
}

void TestConfigTransfer::blockRetries_data()
{
    QTest::addColumn<bool>("write");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("failures");
    QTest::addColumn<bool>("shortAnswers");
    const int addresses[] = { 0, 441, 1323, 1999, 2999 };
    const int steps[] = { 0, 7, 21, 22, 23 };
    for (bool write : { false, true }) {
        for (int i = 0; i < 5; ++i) {
            for (int failures : { 5, 6 }) {
                QTest::addRow("%s %d fails %d", write ? "write" : "read", addresses[i], failures)
                        << write << steps[i] << failures << (failures == 6 && i == 1);
            }
        }
    }
}

// Six attempts per block; after the sixth failure nothing more is sent.
void TestConfigTransfer::blockRetries()
{
    QFETCH(bool, write);
    QFETCH(int, step);
    QFETCH(int, failures);
    QFETCH(bool, shortAnswers);
    const int address = blockRequests('r').at(step).address;
    ScriptedLink link;
    link.failNext[address] = failures;
    link.shortAnswers = shortAnswers;
    ConfigImage image;
    randomize(image, random);
    const ConfigImage before = image;
    Recorder recorder;
    ConfigTransfer transfer(link, recorder);

    const bool done = write ? transfer.writeConfig(image) : transfer.readConfig(image);

    QCOMPARE(done, failures < 6);
    QCOMPARE(link.count(write ? 'w' : 'r', address), 6);
    if (failures < 6)
        return;
    QCOMPARE(link.log.last().address, address);
    QCOMPARE(recorder.events, progress(0, step - 1)
             << (write ? "fail:Ошибка отправки данных" : "fail:Ошибка чтения данных"));
    QVERIFY(image == before);
}

void TestConfigTransfer::commitStages_data()
{
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("nonzeroReads");
    QTest::addColumn<int>("failsPerRead");
    QTest::addColumn<int>("failNext");
    QTest::addColumn<bool>("passes");
    QTest::addColumn<int>("reads");
    QTest::newRow("4004 clears at read 100") << 4004 << 99 << 0 << 0 << true << 100;
    QTest::newRow("4004 still set at read 100") << 4004 << 100 << 0 << 0 << false << 100;
    QTest::newRow("4005 clears at read 10") << 4005 << 9 << 0 << 0 << true << 10;
    QTest::newRow("4005 still set at read 10") << 4005 << 10 << 0 << 0 << false << 10;
    QTest::newRow("4006 still set at read 10") << 4006 << 10 << 0 << 0 << false << 10;
    QTest::newRow("failed reads not counted") << 4005 << 9 << 5 << 0 << true << 60;
    QTest::newRow("6 failed reads in a row") << 4004 << 0 << 6 << 0 << false << 6;
    QTest::newRow("write answers at attempt 6") << 4006 << 0 << 0 << 5 << true << 1;
    QTest::newRow("write never answers") << 4006 << 0 << 0 << 6 << false << 0;
}

void TestConfigTransfer::commitStages()
{
    QFETCH(int, reg);
    QFETCH(int, nonzeroReads);
    QFETCH(int, failsPerRead);
    QFETCH(int, failNext);
    QFETCH(bool, passes);
    QFETCH(int, reads);
    ScriptedLink link;
    link.nonzeroReads[reg] = nonzeroReads;
    link.failsPerRead[reg] = failsPerRead;
    link.failNext[reg] = failNext;
    Recorder recorder;

    QCOMPARE(ConfigTransfer(link, recorder).writeConfig(ConfigImage()), passes);

    QCOMPARE(link.count('r', reg), reads);
    const int stage = reg - 4004;
    QCOMPARE(recorder.events.mid(24, stage + 1).last(),
             passes ? QString::number(24 + stage) : QString("fail:Ошибка отправки данных"));
    if (!passes)
        QCOMPARE(link.log.last().address, reg);
}

void TestConfigTransfer::simOutcomes_data()
{
    QTest::addColumn<int>("ready");
    QTest::addColumn<int>("pending");
    QTest::addColumn<int>("busyReads");
    QTest::addColumn<int>("failsPerRead");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("polls");
    const QString done = "status:Готово";
    QTest::newRow("nothing pending") << 1 << 0 << -1 << 0 << "status:Данные отправлены" << 0;
    QTest::newRow("card not ready")
            << 0 << 1 << -1 << 0
            << "status:SIM карта не готова. Возможно номера телефонов не будут сохранены" << 0;
    QTest::newRow("idle at once") << 1 << 1 << 0 << 0 << done << 1;
    QTest::newRow("idle at poll 600") << 1 << 1 << 599 << 0 << done << 600;
    QTest::newRow("busy after 600 polls")
            << 1 << 1 << 600 << 0 << "status:Не удалось записать номера телефонов на SIM карту" << 600;
    QTest::newRow("busy reads fail 5 of 6") << 1 << 1 << 3 << 5 << done << 24;
    QTest::newRow("busy never answers") << 1 << 1 << 3 << 6 << "fail:Ошибка отправки данных" << 6;
}

void TestConfigTransfer::simOutcomes()
{
    QFETCH(int, ready);
    QFETCH(int, pending);
    QFETCH(int, busyReads);
    QFETCH(int, failsPerRead);
    QFETCH(QString, ending);
    QFETCH(int, polls);
    ScriptedLink link;
    link.regs[4009] = quint16(ready);
    link.regs[4008] = quint16(pending);
    link.nonzeroReads[4007] = busyReads;
    link.failsPerRead[4007] = failsPerRead;
    QVector<int> pauses;
    Recorder recorder;
    ConfigTransfer transfer(link, recorder);
    transfer.setSleeper([&pauses](int ms) { pauses << ms; });

    QCOMPARE(transfer.writeConfig(ConfigImage()), !ending.startsWith("fail:"));

    QCOMPARE(link.count('r', 4007), polls);
    const int goodPolls = failsPerRead ? polls / (failsPerRead + 1) : polls;
    QCOMPARE(pauses, QVector<int>(qMax(0, goodPolls - 1), 100));
    QStringList tail = recorder.events.mid(27);
    QCOMPARE(tail.first(), QString("status:Данные отправлены! Идет запись номеров телефона на SIM карту"));
    QStringList ends{ ending };
    if (!ending.startsWith("fail:"))
        ends << "write";
    QCOMPARE(tail.mid(1), ends);
}

// Whenever the controller falls silent, the write ends with the failure text
// within six further requests.
void TestConfigTransfer::silentControllerEndsEveryWrite()
{
    ScriptedLink full;
    full.regs[4009] = full.regs[4008] = 1;
    full.nonzeroReads[4007] = 4;
    Recorder fullRecorder;
    QVERIFY(ConfigTransfer(full, fullRecorder).writeConfig(ConfigImage()));
    for (int silentFrom = 0; silentFrom < full.log.size(); ++silentFrom) {
        ScriptedLink link;
        link.regs[4009] = link.regs[4008] = 1;
        link.nonzeroReads[4007] = 4;
        link.silentFrom = silentFrom;
        Recorder recorder;
        QVERIFY(!ConfigTransfer(link, recorder).writeConfig(ConfigImage()));
        QCOMPARE(recorder.events.last(), QString("fail:Ошибка отправки данных"));
        QVERIFY2(link.log.size() <= silentFrom + 6, qPrintable(QString::number(silentFrom)));
    }
}

void TestConfigTransfer::silentControllerLeavesImageUnchanged()
{
    for (int silentFrom = 0; silentFrom < 24; ++silentFrom) {
        ScriptedLink link;
        link.regs.fill(0xA55A);
        link.silentFrom = silentFrom;
        ConfigImage image;
        randomize(image, random);
        const ConfigImage before = image;
        Recorder recorder;
        QVERIFY(!ConfigTransfer(link, recorder).readConfig(image));
        QVERIFY(image == before);
        QCOMPARE(recorder.events.last(), QString("fail:Ошибка чтения данных"));
        QCOMPARE(link.log.size(), silentFrom + 6);
    }
}

QTEST_GUILESS_MAIN(TestConfigTransfer)
#include "tst_configtransfer.moc"
