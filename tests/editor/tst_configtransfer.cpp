#include "configtransfer.h"
#include "registerlink.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <tuple>

namespace {

struct Request
{
    char kind; // 'r' read, 'w' block write, 's' single write
    int address, count;
    bool answered;
    bool operator==(const Request &o) const
    {
        return std::tie(kind, address, count, answered) == std::tie(o.kind, o.address, o.count, o.answered);
    }
};

// A controller on a script: registers that hold what is written; `fails`
// picks the requests left unanswered, given the kind, the address, the
// number of earlier such requests there and of earlier requests in all;
// `busyReads` gives the good reads of an address that answer 1 before its
// value (-1: always).
class ScriptedLink : public RegisterLink
{
public:
    QVector<quint16> regs = QVector<quint16>(4010, 0);
    QVector<Request> log;
    std::function<bool(char kind, int address, int earlier, int index)> fails;
    QHash<int, int> busyReads;

    int readRegisters(int address, int count, quint16 *dest) override
    {
        if (!pass('r', address, count))
            return failed(count);
        std::copy(regs.begin() + address, regs.begin() + address + count, dest);
        int &held = busyReads[address];
        if (held != 0) {
            dest[0] = 1;
            held -= held > 0;
        }
        return count;
    }
    int readInputRegisters(int, int, quint16 *) override { return -1; }
    int writeRegister(int address, quint16) override // the controller clears it itself
    {
        return pass('s', address, 1) ? 1 : failed(1);
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
        const bool ok = !fails || !fails(kind, address, this->count(kind, address), log.size());
        log.append({ kind, address, count, ok });
        return ok;
    }
    // Every other failure answers one register short instead of -1.
    int failed(int count) const { return log.size() % 2 ? -1 : count - 1; }
};

// Every n-th request of a kind at an address is answered, the others fail.
auto answerEvery(char kind, int address, int n)
{
    return [=](char k, int a, int earlier, int) { return k == kind && a == address && earlier % n != n - 1; };
}

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

const QString ReadFailed = "fail:Ошибка чтения данных";
const QString WriteFailed = "fail:Ошибка отправки данных";
const QString SimWriting = "status:Данные отправлены! Идет запись номеров телефона на SIM карту";

QStringList progress(int last)
{
    QStringList steps;
    for (int step = 0; step <= last; ++step)
        steps << QString::number(step);
    return steps;
}

QVector<Request> blockRequests(char kind)
{
    QVector<Request> expected;
    for (int i = 0; i < 21; ++i)
        expected.append({ kind, 63 * i, 63, true });
    return expected << Request{ kind, 1323, 3, true } << Request{ kind, 1999, 96, true }
                    << Request{ kind, 2999, 4, true };
}

ConfigImage randomImage(QRandomGenerator &random)
{
    ConfigImage image;
    const auto next = [&random] { return quint8(random.bounded(256)); };
    std::generate(std::begin(image.MainBlock), std::end(image.MainBlock), next);
    std::generate(std::begin(image.PhoneBlock), std::end(image.PhoneBlock), next);
    std::generate(std::begin(image.ClockBlock), std::end(image.ClockBlock), next);
    return image;
}

// The image with the controller's registers laid over it.
ConfigImage withRegisters(ConfigImage image, const QVector<quint16> &regs)
{
    image.setRegisters(ConfigImage::Main, 0, 1326, regs.constData());
    image.setRegisters(ConfigImage::Phone, 0, 96, regs.constData() + 1999);
    image.setRegisters(ConfigImage::Clock, 0, 4, regs.constData() + 2999);
    return image;
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
    void handshake_data();
    void handshake();
    void silentControllerEndsEveryTransfer();

private:
    QRandomGenerator random{ 20240611 };
};

// The file-only bytes stay: the image's registers are only the first 2652.
void TestConfigTransfer::readTakesEveryRegisterInOrder()
{
    ScriptedLink link;
    std::generate(link.regs.begin(), link.regs.end(), [this] { return quint16(random.bounded(65536)); });
    ConfigImage image = randomImage(random);
    const ConfigImage expected = withRegisters(image, link.regs);
    Recorder recorder;
    QVERIFY(ConfigTransfer(link, recorder).readConfig(image));
    QCOMPARE(link.log, blockRequests('r'));
    QCOMPARE(recorder.events, progress(23) << "read" << "status:Данные прочитаны");
    QVERIFY(image == expected);
}

void TestConfigTransfer::writeSendsEveryRegisterThenCommits()
{
    ScriptedLink link;
    const ConfigImage image = randomImage(random);
    Recorder recorder;
    QVERIFY(ConfigTransfer(link, recorder).writeConfig(image));
    QVERIFY(withRegisters(image, link.regs) == image);
    QVector<Request> expected = blockRequests('w');
    for (int reg : { 4004, 4005, 4006 })
        expected << Request{ 's', reg, 1, true } << Request{ 'r', reg, 1, true };
    expected << Request{ 'r', 4009, 1, true } << Request{ 'r', 4008, 1, true };
    QCOMPARE(link.log, expected); // nothing beyond register 1325 of the main block travels
    QCOMPARE(recorder.events, progress(26) << SimWriting << "status:Данные отправлены" << "write");
}

void TestConfigTransfer::blockRetries_data()
{
    QTest::addColumn<bool>("write");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("failures");
    for (bool write : { false, true }) {
        for (int step : { 0, 7, 21, 22, 23 }) {
            for (int failures : { 5, 6 })
                QTest::addRow("%s step %d fails %d", write ? "write" : "read", step, failures) << write << step << failures;
        }
    }
}

// Six attempts per block; after the sixth failure nothing more is sent and a
// read leaves the image as it was.
void TestConfigTransfer::blockRetries()
{
    QFETCH(bool, write);
    QFETCH(int, step);
    QFETCH(int, failures);
    const char kind = write ? 'w' : 'r';
    const int address = blockRequests(kind).at(step).address;
    ScriptedLink link;
    link.fails = [=](char k, int a, int earlier, int) { return k == kind && a == address && earlier < failures; };
    ConfigImage image = randomImage(random);
    const ConfigImage before = image;
    Recorder recorder;
    ConfigTransfer transfer(link, recorder);

    QCOMPARE(write ? transfer.writeConfig(image) : transfer.readConfig(image), failures < 6);
    QCOMPARE(link.count(kind, address), 6);
    if (failures < 6)
        return;
    QCOMPARE(link.log.last().address, address);
    QCOMPARE(recorder.events, progress(step - 1) << (write ? WriteFailed : ReadFailed));
    QVERIFY(image == before);
}

void TestConfigTransfer::handshake_data()
{
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("busyReads");
    QTest::addColumn<char>("failing");
    QTest::addColumn<int>("answerEvery");
    QTest::addColumn<int>("sim"); // ready * 2 + pending
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("reads");
    const QString sent = "status:Данные отправлены";
    const QString done = "status:Готово";
    QTest::newRow("4004 clears at read 100") << 4004 << 99 << 'r' << 1 << 0 << sent << 100;
    QTest::newRow("4004 still set at read 100") << 4004 << 100 << 'r' << 1 << 0 << WriteFailed << 100;
    QTest::newRow("4005 clears at read 10") << 4005 << 9 << 'r' << 1 << 0 << sent << 10;
    QTest::newRow("4005 still set at read 10") << 4005 << 10 << 'r' << 1 << 0 << WriteFailed << 10;
    QTest::newRow("4006 still set at read 10") << 4006 << 10 << 'r' << 1 << 0 << WriteFailed << 10;
    QTest::newRow("failed reads not counted") << 4005 << 9 << 'r' << 6 << 0 << sent << 60;
    QTest::newRow("6 failed reads in a row") << 4004 << 0 << 'r' << 7 << 0 << WriteFailed << 6;
    QTest::newRow("write answers at attempt 6") << 4006 << 0 << 's' << 6 << 0 << sent << 1;
    QTest::newRow("write never answers") << 4006 << 0 << 's' << 7 << 0 << WriteFailed << 0;
    QTest::newRow("nothing pending") << 4007 << -1 << 'r' << 1 << 2 << sent << 0;
    QTest::newRow("card not ready") << 4007 << -1 << 'r' << 1 << 1
        << "status:SIM карта не готова. Возможно номера телефонов не будут сохранены" << 0;
    QTest::newRow("idle at once") << 4007 << 0 << 'r' << 1 << 3 << done << 1;
    QTest::newRow("idle at poll 600") << 4007 << 599 << 'r' << 1 << 3 << done << 600;
    QTest::newRow("busy after 600 polls") << 4007 << 600 << 'r' << 1 << 3
        << "status:Не удалось записать номера телефонов на SIM карту" << 600;
    QTest::newRow("busy reads fail 5 of 6") << 4007 << 3 << 'r' << 6 << 3 << done << 24;
    QTest::newRow("busy never answers") << 4007 << 3 << 'r' << 7 << 3 << WriteFailed << 6;
}

// The three commit stages, then the SIM card; good reads of a commit register
// follow each other at once, those of the busy register 100 ms apart.
void TestConfigTransfer::handshake()
{
    QFETCH(int, reg);
    QFETCH(int, busyReads);
    QFETCH(char, failing);
    QFETCH(int, answerEvery);
    QFETCH(int, sim);
    QFETCH(QString, ending);
    QFETCH(int, reads);
    ScriptedLink link;
    link.regs[4009] = quint16(sim / 2);
    link.regs[4008] = quint16(sim % 2);
    link.busyReads[reg] = busyReads;
    link.fails = ::answerEvery(failing, reg, answerEvery);
    QVector<int> pauses;
    Recorder recorder;
    ConfigTransfer transfer(link, recorder);
    transfer.setSleeper([&pauses](int ms) { pauses << ms; });

    const bool failed = ending == WriteFailed;
    QCOMPARE(transfer.writeConfig(ConfigImage()), !failed);
    QCOMPARE(link.count('r', reg), reads);
    QCOMPARE(pauses, QVector<int>(reg == 4007 ? qMax(0, reads / answerEvery - 1) : 0, 100));
    QStringList expected = progress(failed && reg < 4007 ? 23 + reg - 4004 : 26).mid(24);
    if (!failed || reg == 4007)
        expected << SimWriting;
    expected << ending;
    QCOMPARE(recorder.events.mid(24), failed ? expected : expected << "write");
    if (failed)
        QCOMPARE(link.log.last().address, reg);
}

// Wherever the controller falls silent, the transfer ends with its failure
// text within six further requests, and a read leaves the image untouched.
void TestConfigTransfer::silentControllerEndsEveryTransfer()
{
    for (bool write : { false, true }) {
        ScriptedLink full;
        full.regs[4009] = full.regs[4008] = 1;
        full.busyReads[4007] = 4;
        Recorder fullRecorder;
        ConfigImage image = randomImage(random);
        QVERIFY(write ? ConfigTransfer(full, fullRecorder).writeConfig(image)
                      : ConfigTransfer(full, fullRecorder).readConfig(image));
        for (int silentFrom = 0; silentFrom < full.log.size(); ++silentFrom) {
            ScriptedLink link;
            link.regs.fill(0xA55A);
            link.regs[4009] = link.regs[4008] = 1;
            link.busyReads[4007] = 4;
            link.fails = [=](char, int, int, int index) { return index >= silentFrom; };
            const ConfigImage before = image;
            Recorder recorder;
            ConfigTransfer transfer(link, recorder);
            QVERIFY(!(write ? transfer.writeConfig(image) : transfer.readConfig(image)));
            QCOMPARE(recorder.events.last(), write ? WriteFailed : ReadFailed);
            QCOMPARE(link.log.size(), silentFrom + 6);
            if (!write)
                QVERIFY(image == before);
        }
    }
}

QTEST_GUILESS_MAIN(TestConfigTransfer)
#include "tst_configtransfer.moc"
