#include "configtransfer.h"
#include "registerlink.h"
#include "testimages.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <functional>

namespace {

// A controller on a script and the transfer's observer, logging each request
// (">r0+63", "!" when left unanswered) and each report in order. `fails` picks
// the unanswered requests from the kind, address and number of such requests
// before; `busyReads` holds an address at 1 for that many good reads (-1: ever).
class ScriptedLink : public RegisterLink, public ConfigTransfer::Observer
{
public:
    QVector<quint16> regs = QVector<quint16>(4010, 0);
    QStringList log;
    std::function<bool(char kind, int address, int earlier)> fails;
    QHash<int, int> busyReads;

    int readRegisters(int at, int count, quint16 *dest) override { return serve('r', at, count, dest, nullptr); }
    int readInputRegisters(int, int, quint16 *) override { return -1; }
    int writeRegister(int at, quint16 value) override { return serve('s', at, 1, nullptr, &value); }
    int writeRegisters(int at, int count, const quint16 *src) override { return serve('w', at, count, nullptr, src); }
    void transferFailed(const QString &text) override { log << "fail:" + text; }
    void transferStatus(const QString &text) override { log << "status:" + text; }
    void transferProgress(int step) override { log << QString::number(step); }
    void transferReadComplete() override { log << "read"; }
    void transferWriteComplete() override { log << "write"; }

private:
    // A single write is not stored: the controller clears the register itself.
    int serve(char kind, int address, int count, quint16 *dest, const quint16 *src)
    {
        const QString request = QString(">%1%2+%3").arg(kind).arg(address).arg(count);
        const bool ok = !fails || !fails(kind, address, log.filter(request).size());
        log << request + (ok ? "" : "!");
        if (!ok)
            return log.size() % 2 ? -1 : count - 1; // every other failure answers one register short
        if (kind == 'w')
            std::copy(src, src + count, regs.begin() + address);
        if (kind == 'r') {
            std::copy(regs.begin() + address, regs.begin() + address + count, dest);
            int &held = busyReads[address];
            dest[0] = held ? 1 : dest[0];
            held -= held > 0;
        }
        return count;
    }
};

const QString WriteFailed = "fail:Ошибка отправки данных";
const QString SimWriting = "status:Данные отправлены! Идет запись номеров телефона на SIM карту";
const QString Sent = "status:Данные отправлены";
const QString SimFailed = "status:Не удалось записать номера телефонов на SIM карту";

} // namespace

// A write's handshake: the register, its good reads answering 1 first (-1: always), the kind of
// request there failing but every n-th, SIM registers 4009 and 4008, its reads made, the ending.
const struct Handshake {
    const char *name; int reg, busyReads; char failing; int answerEvery, ready, pending, reads; QString ending;
} handshakes[] = {
    {"4004 clears at read 100", 4004, 99, 'r', 1, 0, 0, 100, Sent},
    {"4004 still set at read 100", 4004, 100, 'r', 1, 0, 0, 100, WriteFailed},
    {"4005 still set at read 10", 4005, 10, 'r', 1, 0, 0, 10, WriteFailed},
    {"4006 still set at read 10", 4006, 10, 'r', 1, 0, 0, 10, WriteFailed},
    {"failed reads not counted", 4005, 9, 'r', 6, 0, 0, 60, Sent},
    {"nothing pending", 4007, -1, 'r', 1, 1, 0, 0, Sent},
    {"card not ready", 4007, -1, 'r', 1, 0, 1, 0,
     "status:SIM карта не готова. Возможно номера телефонов не будут сохранены"},
    {"idle at poll 600", 4007, 599, 'r', 1, 1, 1, 600, "status:Готово"},
    {"busy after 600 polls", 4007, 600, 'r', 1, 1, 1, 600, SimFailed},
    {"busy reads fail 5 of 6", 4007, 3, 'r', 6, 1, 1, 24, "status:Готово"},
    // Committed: a busy register that stops answering fails the SIM step only.
    {"busy never answers", 4007, 3, 'r', 7, 1, 1, 6, SimFailed}};

class TestConfigTransfer : public QObject
{
    Q_OBJECT

private slots:
    // A whole read or write makes exactly its requests and reports and moves only the
    // image's registers (not its file-only bytes). At every request in turn, five failures
    // are retried; a sixth ends the transfer there with the failure text, image unread,
    // or once the write is committed, with the SIM step's own failure.
    void transfer()
    {
        QRandomGenerator random(20240611);
        const ConfigImage image = randomBytesImage(random);
        QVector<quint16> regs(4010, 0);
        std::generate(regs.begin(), regs.begin() + 3003, [&random] { return quint16(random.bounded(65536)); });

        for (bool write : {false, true}) {
            ConfigImage target;
            const auto run = [&](ScriptedLink &link) {
                ConfigTransfer transfer(link, link);
                link.regs = regs;
                target = image;
                return write ? transfer.writeConfig(target) : transfer.readConfig(target);
            };
            ScriptedLink full;
            QVERIFY(run(full));
            const ConfigImage result = target;
            ConfigImage moved = image; // the image with the controller's registers laid over it
            for (auto [block, at] : {std::pair(ConfigImage::Main, 0), {ConfigImage::Phone, 1999}, {ConfigImage::Clock, 2999}})
                moved.setRegisters(block, 0, ConfigImage::registerCount(block), full.regs.constData() + at);
            QVERIFY(moved == (write ? image : result));

            // The main block in 63-register steps and its last three, the phones, the clock.
            QVector<std::pair<int, int>> requests{{1323, 3}, {1999, 96}, {2999, 4}};
            for (int step = 20; step >= 0; --step)
                requests.prepend({63 * step, 63});
            QStringList expected;
            for (int step = 0; step < 24; ++step)
                expected << QString(">%1%2+%3").arg(write ? 'w' : 'r').arg(requests[step].first).arg(requests[step].second)
                         << QString::number(step);
            for (int stage = 0; write && stage < 3; ++stage)
                expected << QString(">s%1+1").arg(4004 + stage) << QString(">r%1+1").arg(4004 + stage)
                         << QString::number(24 + stage);
            expected << (write ? QStringList{SimWriting, ">r4009+1", ">r4008+1", Sent, "write"}
                               : QStringList{"read", "status:Данные прочитаны"});
            QCOMPARE(full.log, expected);

            for (int at = 0; at < expected.size(); ++at) { // each request failing five, then six times
                for (int failures : expected[at].startsWith('>') ? QVector<int>{5, 6} : QVector<int>()) {
                    ScriptedLink link;
                    const int first = expected.mid(0, at).filter(">").size();
                    int index = 0;
                    link.fails = [&](char, int, int) { const int i = index++; return i >= first && i < first + failures; };
                    const bool committed = expected.mid(0, at).contains(SimWriting); // only the SIM step fails
                    const bool done = run(link);
                    QCOMPARE(done, failures == 5 || committed);
                    QStringList log = expected.mid(0, at);
                    for (int repeat = 0; repeat < failures; ++repeat)
                        log << expected[at] + '!';
                    const QStringList ending = committed ? QStringList{SimFailed, "write"}
                                                         : QStringList(write ? WriteFailed : "fail:Ошибка чтения данных");
                    log += failures == 5 ? QStringList(expected.mid(at)) : ending;
                    QCOMPARE(link.log, log);
                    QVERIFY(write || target == (done ? result : image));
                }
            }
        }
    }

    void handshake_data()
    {
        QTest::addColumn<int>("row");
        for (int row = 0; row < int(std::size(handshakes)); ++row)
            QTest::newRow(handshakes[row].name) << row;
    }

    // The three commit stages, then the SIM card; good reads of a commit register
    // follow each other at once, those of the busy register 100 ms apart.
    void handshake()
    {
        QFETCH(int, row);
        const Handshake &h = handshakes[row];
        ScriptedLink link;
        link.regs[4009] = quint16(h.ready);
        link.regs[4008] = quint16(h.pending);
        link.busyReads[h.reg] = h.busyReads;
        link.fails = [&h](char kind, int address, int earlier) {
            return kind == h.failing && address == h.reg && earlier % h.answerEvery != h.answerEvery - 1;
        };
        QVector<int> pauses;
        ConfigTransfer transfer(link, link);
        transfer.setSleeper([&pauses](int ms) { pauses << ms; });

        const bool failed = h.ending == WriteFailed;
        QCOMPARE(transfer.writeConfig(ConfigImage()), !failed);
        QCOMPARE(link.log.filter(QString(">r%1+1").arg(h.reg)).size(), h.reads);
        QCOMPARE(pauses, QVector<int>(h.reg == 4007 ? qMax(0, h.reads / h.answerEvery - 1) : 0, 100));
        // Progress 24-26 for the stages passed, and the SIM step once all three are.
        QStringList expected = QStringList{"24", "25", "26", SimWriting}.mid(0, failed && h.reg < 4007 ? h.reg - 4004 : 4);
        expected << h.ending;
        QCOMPARE(link.log.filter(QRegularExpression("^[^>]")).mid(24), failed ? expected : expected << "write");
    }
};

QTEST_GUILESS_MAIN(TestConfigTransfer)
#include "tst_configtransfer.moc"
