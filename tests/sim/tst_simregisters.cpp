#include "simharness.h"
#include "testmaster.h"

#include "rtuframe.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

#include <poll.h>
#include <pty.h>
#include <unistd.h>

// Configuration, commit and SIM-card registers over a real libmodbus master
// on a pseudo-terminal.
class TestSimRegisters : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void defaultsReadBack();
    void blocksWriteAndReadBack();
    void singleWriteKeepsNeighbours();
    void addressesOutsideTheMapsAreRefused_data();
    void addressesOutsideTheMapsAreRefused();
    void quantityLimitsAreRefused();
    void commitClearsAfterConfiguredReads();
    void commitThatNeverClears();
    void simCardOutcomes();
    void vlrFileRoundTripKeepsFileOnlyBytes();
    void badVlrFilesAreRefused();
    void servesASerialDeviceByPath();

private:
    SimHarness *sim = nullptr;
    TestMaster *master = nullptr;
};

void TestSimRegisters::init()
{
    sim = new SimHarness;
    QVERIFY2(sim->isReady(), qPrintable(sim->errorString()));
    master = new TestMaster(sim->devicePath());
    QVERIFY(master->isOpen());
}

void TestSimRegisters::cleanup()
{
    delete master;
    delete sim;
    master = nullptr;
    sim = nullptr;
}

void TestSimRegisters::defaultsReadBack()
{
    // The editor's defaults: thres2Valve 1, thres1Relay 2, flags, mask, delays.
    QCOMPARE(master->holding(0, 1), QVector<quint16>{0});
    QCOMPARE(master->holding(126, 1), QVector<quint16>{0x0101});
    QCOMPARE(master->holding(252, 1), QVector<quint16>{0x0202});
    QCOMPARE(master->holding(1134, 1), QVector<quint16>{0x0103});
    QCOMPARE(master->holding(1296, 5), (QVector<quint16>{0x0001, 0x00FF, 0, 0xFFFF, 0xFFFF}));
    QCOMPARE(master->holding(1301, 24), QVector<quint16>(24, 20));
    QCOMPARE(master->holding(1999, 96), QVector<quint16>(96, 0));
}

void TestSimRegisters::blocksWriteAndReadBack()
{
    QVector<quint16> block(63);
    for (int i = 0; i < block.size(); ++i)
        block[i] = quint16(0x1234 + 257 * i);
    QCOMPARE(master->writeMultiple(1260, 63, block.constData()), 63);
    QCOMPARE(master->holding(1260, 63), block);

    QVector<quint16> phones(96);
    for (int i = 0; i < phones.size(); ++i)
        phones[i] = quint16(0x3130 + i);
    QCOMPARE(master->writeMultiple(1999, 96, phones.constData()), 96);
    const quint16 clock[4] = {0x1E0E, 0x0309, 0x000C, 24};
    QCOMPARE(master->writeMultiple(2999, 4, clock), 4);
    QCOMPARE(master->holding(1999, 96), phones);
    QCOMPARE(master->holding(2999, 4), (QVector<quint16>{0x1E0E, 0x0309, 0x000C, 24}));

    // The registers land in the image low byte first.
    const ConfigImage image = sim->stateCopy().config();
    QCOMPARE(image.MainBlock[2 * 1260], quint8(0x34));
    QCOMPARE(image.MainBlock[2 * 1260 + 1], quint8(0x12));
    QCOMPARE(image.PhoneBlock[0], quint8('0'));
    QCOMPARE(image.ClockBlock[0], quint8(14));
    QCOMPARE(image.ClockBlock[1], quint8(30));
}

void TestSimRegisters::singleWriteKeepsNeighbours()
{
    QCOMPARE(master->writeSingle(1325, 0x0201), 1);
    QCOMPARE(master->holding(1323, 3), (QVector<quint16>{20, 20, 0x0201}));
    QCOMPARE(sim->holding(1325), quint16(0x0201));
}

void TestSimRegisters::addressesOutsideTheMapsAreRefused_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("count");
    QTest::newRow("past the main block") << 3 << 1326 << 1;
    QTest::newRow("main block overrun") << 3 << 1300 << 30;
    QTest::newRow("gap before phones") << 3 << 1998 << 2;
    QTest::newRow("phones overrun") << 3 << 2090 << 10;
    QTest::newRow("past the SIM registers") << 3 << 4009 << 2;
    QTest::newRow("far away") << 3 << 60000 << 1;
    QTest::newRow("input gap") << 4 << 1004 << 1;
    QTest::newRow("input record and count") << 4 << 1019 << 11;
    QTest::newRow("input status overrun") << 4 << 1040 << 2;
    QTest::newRow("single write in a gap") << 6 << 3500 << 1;
    QTest::newRow("block write overrun") << 16 << 2999 << 5;
}

void TestSimRegisters::addressesOutsideTheMapsAreRefused()
{
    QFETCH(int, function);
    QFETCH(int, address);
    QFETCH(int, count);
    QVector<quint16> buffer(count, 7);
    int result = -2;
    switch (function) {
    case 3: result = master->readHolding(address, count, buffer.data()); break;
    case 4: result = master->readInput(address, count, buffer.data()); break;
    case 6: result = master->writeSingle(address, 7); break;
    case 16: result = master->writeMultiple(address, count, buffer.constData()); break;
    }
    QCOMPARE(result, -1);
    QCOMPARE(master->lastError(), int(EMBXILADD));
    QVERIFY(sim->requests().last().answered);
    QCOMPARE(sim->requests().last().exception, 2);
    // A refused block write changes nothing.
    QCOMPARE(sim->holding(2999 + 3), sim->stateCopy().config().reg(ConfigImage::Clock, 3));
    QCOMPARE(master->holding(3002, 1).size(), 1);
}

void TestSimRegisters::quantityLimitsAreRefused()
{
    quint16 buffer[130] = {};
    QCOMPARE(master->readHolding(0, 125, buffer), 125);
    // libmodbus itself refuses to send more than 125, so build the frame.
    const QByteArray tooMany = RtuFrame::withCrc(QByteArray::fromHex("0103000000" "7e"));
    QVERIFY(master->sendRaw(tooMany));
    const QByteArray answer = master->receiveRaw(300);
    QCOMPARE(answer, RtuFrame::exceptionAnswer(1, 3, 3));
}

void TestSimRegisters::commitClearsAfterConfiguredReads()
{
    // Default: the first read after writing 1 sees 0.
    QCOMPARE(master->writeSingle(4004, 1), 1);
    QCOMPARE(master->holding(4004, 1), QVector<quint16>{0});

    sim->setCommitReadsBeforeClear(1, 99);
    QCOMPARE(master->writeSingle(4005, 1), 1);
    for (int i = 0; i < 99; ++i)
        QCOMPARE(master->holding(4005, 1), QVector<quint16>{1});
    QCOMPARE(master->holding(4005, 1), QVector<quint16>{0});
    QCOMPARE(master->holding(4005, 1), QVector<quint16>{0});
}

void TestSimRegisters::commitThatNeverClears()
{
    QCOMPARE(master->writeSingle(4006, 1), 1);
    // Made stuck while the write is already waiting.
    sim->setCommitReadsBeforeClear(2, ControllerState::Never);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(master->holding(4006, 1), QVector<quint16>{1});
    sim->setCommitReadsBeforeClear(2, 0);
    QCOMPARE(master->holding(4006, 1), QVector<quint16>{0});
}

void TestSimRegisters::simCardOutcomes()
{
    // Nothing pending by default: ready, not pending, not busy.
    QCOMPARE(master->writeSingle(4006, 1), 1);
    QCOMPARE(master->holding(4007, 3), (QVector<quint16>{0, 0, 1}));

    // Pending after the third commit, busy for three reads, then done.
    sim->setSimCard({true, 3, true});
    QCOMPARE(master->writeSingle(4006, 1), 1);
    QCOMPARE(master->holding(4009, 1), QVector<quint16>{1});
    QCOMPARE(master->holding(4008, 1), QVector<quint16>{1});
    for (int i = 0; i < 3; ++i)
        QCOMPARE(master->holding(4007, 1), QVector<quint16>{1});
    QCOMPARE(master->holding(4007, 1), QVector<quint16>{0});
    QCOMPARE(master->holding(4008, 1), QVector<quint16>{0});

    // A first-stage commit does not start a SIM write.
    QCOMPARE(master->writeSingle(4004, 1), 1);
    QCOMPARE(master->holding(4008, 1), QVector<quint16>{0});

    // A card that is not ready leaves the numbers pending and never gets busy.
    sim->setSimCard({true, 3, false});
    QCOMPARE(master->writeSingle(4006, 1), 1);
    QCOMPARE(master->holding(4007, 3), (QVector<quint16>{0, 1, 0}));
    QCOMPARE(master->holding(4008, 1), QVector<quint16>{1});
}

void TestSimRegisters::vlrFileRoundTripKeepsFileOnlyBytes()
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.vlr"));
    const QString second = dir.filePath(QStringLiteral("second.vlr"));
    QByteArray bytes(ConfigImage::FileSize, 0);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + 3);
    {
        QFile file(first);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QString error;
    QVERIFY(sim->state([&](ControllerState &s) { return s.loadFile(first, &error); }));
    // Register 0 is bytes 0 and 1; the phone block starts at file byte 2658.
    const quint16 reg0 = quint16(quint8(bytes[0]) | quint8(bytes[1]) << 8);
    QCOMPARE(master->holding(0, 1), QVector<quint16>{reg0});
    const quint16 phone0 = quint16(quint8(bytes[2658]) | quint8(bytes[2659]) << 8);
    QCOMPARE(master->holding(1999, 1), QVector<quint16>{phone0});

    // A full write from the master changes every register but not bytes 2652-2657.
    QVector<quint16> zeros(63, 0);
    for (int part = 0; part < 21; ++part)
        QCOMPARE(master->writeMultiple(63 * part, 63, zeros.constData()), 63);
    QCOMPARE(master->writeMultiple(1323, 3, zeros.constData()), 3);
    QVERIFY(sim->stateCopy().saveFile(second, &error));
    QFile file(second);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    QCOMPARE(saved.size(), ConfigImage::FileSize);
    QCOMPARE(saved.left(2652), QByteArray(2652, 0));
    QCOMPARE(saved.mid(2652, 6), bytes.mid(2652, 6));
    QCOMPARE(saved.mid(2658), bytes.mid(2658));
}

void TestSimRegisters::badVlrFilesAreRefused()
{
    QTemporaryDir dir;
    const QByteArray before = sim->stateCopy().fileBytes();
    for (int size : {0, ConfigImage::FileSize - 1, ConfigImage::FileSize + 1}) {
        const QString path = dir.filePath(QStringLiteral("bad%1.vlr").arg(size));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, '\x55'));
        file.close();
        QString error;
        QVERIFY(!sim->state([&](ControllerState &s) { return s.loadFile(path, &error); }));
        QVERIFY(!error.isEmpty());
    }
    QString error;
    QVERIFY(!sim->state([&](ControllerState &s) { return s.loadFile(dir.filePath(QStringLiteral("missing.vlr")), &error); }));
    QCOMPARE(sim->stateCopy().fileBytes(), before);
}

void TestSimRegisters::servesASerialDeviceByPath()
{
    // A pseudo-terminal made here stands in for an RS-485 adapter: the
    // simulator opens its device path, the test talks on the other side.
    int wire = -1;
    int device = -1;
    char name[256] = {};
    QCOMPARE(openpty(&wire, &device, name, nullptr, nullptr), 0);
    Simulator::Options options;
    options.slaveAddress = 9;
    options.baudRate = 19200;
    Simulator simulator(options);
    QString error;
    QCOMPARE(simulator.addDevice(QString::fromLocal8Bit(name), &error), QString::fromLocal8Bit(name));
    QVERIFY(simulator.addDevice(QStringLiteral("/nonexistent/ttyX"), &error).isEmpty());
    QVERIFY(!error.isEmpty());
    QVERIFY(simulator.start());
    const QByteArray request = RtuFrame::withCrc(QByteArray::fromHex("0903007e0001"));
    QCOMPARE(::write(wire, request.constData(), size_t(request.size())), ssize_t(request.size()));
    QByteArray answer;
    for (int i = 0; i < 50 && answer.size() < 7; ++i) {
        pollfd p = {wire, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) {
            char buffer[64];
            const ssize_t n = ::read(wire, buffer, sizeof buffer);
            if (n > 0)
                answer.append(buffer, int(n));
        }
    }
    QCOMPARE(answer, RtuFrame::withCrc(QByteArray::fromHex("0903020101")));
    simulator.stop();
    ::close(device);
    ::close(wire);
}

QTEST_GUILESS_MAIN(TestSimRegisters)
#include "tst_simregisters.moc"
