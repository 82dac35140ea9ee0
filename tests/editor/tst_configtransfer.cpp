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

// The reports in order, each with the number of requests made before it.
class Recorder : public ConfigTransfer::Observer
{
public:
    explicit Recorder(const ScriptedLink &link) : link(link) {}
    QStringList events;
    QVector<int> requestsBefore;
    void transferFailed(const QString &text) override { add("fail:" + text); }
    void transferStatus(const QString &text) override { add("status:" + text); }
    void transferProgress(int step) override { add(QString::number(step)); }
    void transferReadComplete() override { add("read"); }
    void transferWriteComplete() override { add("write"); }

private:
    void add(const QString &event)
    {
        events << event;
        requestsBefore << link.log.size();
    }
    const ScriptedLink &link;
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
    void transfer_data();
    void transfer();
    void handshake_data();
    void handshake();

private:
    QRandomGenerator random{ 20240611 };
};

void TestConfigTransfer::transfer_data()
{
    QTest::addColumn<bool>("write");
    QTest::newRow("read") << false;
    QTest::newRow("write") << true;
}

// A whole transfer makes exactly its requests, in order, and moves only the
// image's registers (not its file-only bytes). Then at every request in turn:
// five failures in a row are retried and the transfer ends as before; a sixth
// ends it there with the failure text, and a read leaves the image as it was.
void TestConfigTransfer::transfer()
{
    QFETCH(bool, write);
    const ConfigImage image = randomImage(random);
    ConfigImage target;
    const auto run = [&](ScriptedLink &link, Recorder &recorder) {
        ConfigTransfer transfer(link, recorder);
        target = image;
        return write ? transfer.writeConfig(target) : transfer.readConfig(target);
    };
    ScriptedLink full;
    std::generate(full.regs.begin(), full.regs.begin() + 3003, [this] { return quint16(random.bounded(65536)); });
    Recorder fullRecorder(full);
    QVERIFY(run(full, fullRecorder));
    const ConfigImage result = target;
    QVERIFY(withRegisters(image, full.regs) == (write ? image : result));
    QVector<Request> requests = blockRequests(write ? 'w' : 'r');
    QStringList events = progress(write ? 26 : 23);
    if (write) {
        for (int reg : { 4004, 4005, 4006 })
            requests << Request{ 's', reg, 1, true } << Request{ 'r', reg, 1, true };
        requests << Request{ 'r', 4009, 1, true } << Request{ 'r', 4008, 1, true };
        events << SimWriting << "status:Данные отправлены" << "write";
    } else {
        events << "read" << "status:Данные прочитаны";
    }
    QCOMPARE(full.log, requests);
    QCOMPARE(fullRecorder.events, events);

    for (int at = 0; at < requests.size(); ++at) {
        for (int failures : { 5, 6 }) {
            ScriptedLink link;
            link.regs = full.regs;
            link.fails = [=](char, int, int, int index) { return index >= at && index < at + failures; };
            Recorder recorder(link);
            const bool done = run(link, recorder);
            QCOMPARE(done, failures == 5);
            Request failed = requests[at];
            failed.answered = false;
            QCOMPARE(link.log.mid(at, failures), QVector<Request>(failures, failed));
            if (!write)
                QVERIFY(target == (done ? result : image));
            if (done) {
                QCOMPARE(link.log.size(), requests.size() + 5);
                QCOMPARE(recorder.events, events);
                continue;
            }
            QCOMPARE(link.log.size(), at + 6);
            const int before = int(std::count_if(fullRecorder.requestsBefore.begin(), fullRecorder.requestsBefore.end(),
                                                 [at](int made) { return made <= at; }));
            QCOMPARE(recorder.events, events.mid(0, before) << (write ? WriteFailed : ReadFailed));
        }
    }
}

// One write's handshake: how the scripted register answers and how it ends.
struct Handshake
{
    const char *name;
    int reg, busyReads;     // good reads of reg answering 1 first (-1: always)
    char failing;           // the kind of request at reg that fails...
    int answerEvery;        // ...except every n-th
    int ready, pending;     // SIM card registers 4009 and 4008
    QString ending;
    int reads;              // reads of reg made in all
};

const QString Sent = "status:Данные отправлены";
const QString SimDone = "status:Готово";
const Handshake handshakes[] = {
    {"4004 clears at read 100", 4004, 99, 'r', 1, 0, 0, Sent, 100},
    {"4004 still set at read 100", 4004, 100, 'r', 1, 0, 0, WriteFailed, 100},
    {"4005 clears at read 10", 4005, 9, 'r', 1, 0, 0, Sent, 10},
    {"4005 still set at read 10", 4005, 10, 'r', 1, 0, 0, WriteFailed, 10},
    {"4006 still set at read 10", 4006, 10, 'r', 1, 0, 0, WriteFailed, 10},
    {"failed reads not counted", 4005, 9, 'r', 6, 0, 0, Sent, 60},
    {"6 failed reads in a row", 4004, 0, 'r', 7, 0, 0, WriteFailed, 6},
    {"write answers at attempt 6", 4006, 0, 's', 6, 0, 0, Sent, 1},
    {"write never answers", 4006, 0, 's', 7, 0, 0, WriteFailed, 0},
    {"nothing pending", 4007, -1, 'r', 1, 1, 0, Sent, 0},
    {"card not ready", 4007, -1, 'r', 1, 0, 1,
     "status:SIM карта не готова. Возможно номера телефонов не будут сохранены", 0},
    {"idle at once", 4007, 0, 'r', 1, 1, 1, SimDone, 1},
    {"idle at poll 600", 4007, 599, 'r', 1, 1, 1, SimDone, 600},
    {"busy after 600 polls", 4007, 600, 'r', 1, 1, 1,
     "status:Не удалось записать номера телефонов на SIM карту", 600},
    {"busy reads fail 5 of 6", 4007, 3, 'r', 6, 1, 1, SimDone, 24},
    {"busy never answers", 4007, 3, 'r', 7, 1, 1, WriteFailed, 6}};

void TestConfigTransfer::handshake_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < int(std::size(handshakes)); ++row)
        QTest::newRow(handshakes[row].name) << row;
}

// The three commit stages, then the SIM card; good reads of a commit register
// follow each other at once, those of the busy register 100 ms apart.
void TestConfigTransfer::handshake()
{
    QFETCH(int, row);
    const Handshake &h = handshakes[row];
    ScriptedLink link;
    link.regs[4009] = quint16(h.ready);
    link.regs[4008] = quint16(h.pending);
    link.busyReads[h.reg] = h.busyReads;
    link.fails = answerEvery(h.failing, h.reg, h.answerEvery);
    QVector<int> pauses;
    Recorder recorder(link);
    ConfigTransfer transfer(link, recorder);
    transfer.setSleeper([&pauses](int ms) { pauses << ms; });

    const bool failed = h.ending == WriteFailed;
    QCOMPARE(transfer.writeConfig(ConfigImage()), !failed);
    QCOMPARE(link.count('r', h.reg), h.reads);
    QCOMPARE(pauses, QVector<int>(h.reg == 4007 ? qMax(0, h.reads / h.answerEvery - 1) : 0, 100));
    QStringList expected = progress(failed && h.reg < 4007 ? 23 + h.reg - 4004 : 26).mid(24);
    if (!failed || h.reg == 4007)
        expected << SimWriting;
    expected << h.ending;
    QCOMPARE(recorder.events.mid(24), failed ? expected : expected << "write");
    if (failed)
        QCOMPARE(link.log.last().address, h.reg);
}

QTEST_GUILESS_MAIN(TestConfigTransfer)
#include "tst_configtransfer.moc"
