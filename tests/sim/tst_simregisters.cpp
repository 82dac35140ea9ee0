#include "simharness.h"
#include "testmaster.h"

#include <QtTest>

#include <memory>

// Configuration, commit and SIM-card registers over a real libmodbus master
// on a pseudo-terminal. Refused requests are tested with the other wire input.
class TestSimRegisters : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void configurationRegisters();
    void commitAndSimCardHandshakes();
    void vlrFiles();

private:
    // True when `times` reads of the register all see `value`.
    bool readsSteadily(int address, int times, quint16 value);

    std::unique_ptr<SimHarness> sim;
    std::unique_ptr<TestMaster> master;
};

void TestSimRegisters::init()
{
    master.reset();
    sim.reset(new SimHarness);
    QVERIFY2(sim->isReady(), qPrintable(sim->errorString()));
    master.reset(new TestMaster(sim->devicePath()));
    QVERIFY(master->isOpen());
}

bool TestSimRegisters::readsSteadily(int address, int times, quint16 value)
{
    for (int i = 0; i < times; ++i) {
        if (master->holding(address, 1) != QVector<quint16>{value})
            return false;
    }
    return true;
}

void TestSimRegisters::configurationRegisters()
{
    // It starts from the editor's defaults (thres2Valve 1, delays 20); one
    // read may ask for up to 125 registers.
    QCOMPARE(master->holding(126, 1), QVector<quint16>{0x0101});
    QCOMPARE(master->holding(1201, 125).mid(100, 24), QVector<quint16>(24, 20));

    // Written registers read back and land in the image low byte first.
    QVector<quint16> phones(96);
    for (int i = 0; i < phones.size(); ++i)
        phones[i] = quint16(0x3130 + 257 * i);
    const QVector<quint16> clock{0x1E0E, 0x0309, 0x000C, 24};
    QCOMPARE(master->writeMultiple(1999, 96, phones.constData()), 96);
    QCOMPARE(master->writeMultiple(2999, 4, clock.constData()), 4);
    QCOMPARE(master->writeSingle(1325, 0x0201), 1); // the last main register
    QCOMPARE(master->holding(1999, 96), phones);
    QCOMPARE(master->holding(2999, 4), clock);
    QCOMPARE(master->holding(1323, 3), (QVector<quint16>{20, 20, 0x0201}));
    // In the file: main register k at byte 2k, phones from 2658, the clock from 2850.
    const QByteArray file = sim->stateCopy().fileBytes();
    QCOMPARE(file.mid(2 * 1325, 2), QByteArray("\x01\x02"));
    QCOMPARE(file.mid(2658, 2), QByteArray("01"));
    QCOMPARE(file.mid(2850, 2), QByteArray("\x0e\x1e"));
}

void TestSimRegisters::commitAndSimCardHandshakes()
{
    // A commit register reads back 0 at once by default, after 99 reads if so
    // set, and never while stuck (set so while the write is already waiting).
    QCOMPARE(master->writeSingle(4004, 1), 1);
    QVERIFY(readsSteadily(4004, 1, 0));
    sim->setCommitReadsBeforeClear(1, 99);
    QCOMPARE(master->writeSingle(4005, 1), 1);
    QVERIFY(readsSteadily(4005, 99, 1));
    QVERIFY(readsSteadily(4005, 2, 0));
    QCOMPARE(master->writeSingle(4006, 1), 1);
    sim->setCommitReadsBeforeClear(2, ControllerState::Never);
    QVERIFY(readsSteadily(4006, 20, 1));
    sim->setCommitReadsBeforeClear(2, 0);
    QVERIFY(readsSteadily(4006, 1, 0));
    // That third commit started no SIM write: ready, not pending, not busy.
    QCOMPARE(master->holding(4007, 3), (QVector<quint16>{0, 0, 1}));

    // Pending after the third commit, busy for three reads, then done.
    sim->setSimCard({true, 3, true});
    QCOMPARE(master->writeSingle(4006, 1), 1);
    QCOMPARE(master->holding(4008, 2), (QVector<quint16>{1, 1}));
    QVERIFY(readsSteadily(4007, 3, 1));
    QVERIFY(readsSteadily(4007, 1, 0));
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

void TestSimRegisters::vlrFiles()
{
    QTemporaryDir dir;
    QString error;
    // Writes the bytes (none: no file) and loads them; a failed write leaves no error text.
    const auto load = [&](const QString &name, const QByteArray &bytes) {
        error.clear();
        QFile file(dir.filePath(name));
        if (!bytes.isNull() && (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()))
            return false;
        file.close();
        return sim->state([&](ControllerState &s) { return s.loadFile(file.fileName(), &error); });
    };
    // Wrong sizes and a missing file are refused with a reason and change nothing.
    const QByteArray defaults = sim->stateCopy().fileBytes();
    for (int size : {0, ConfigImage::FileSize - 1, ConfigImage::FileSize + 1}) {
        QVERIFY(!load(QString::number(size), QByteArray(size, '\x55')));
        QVERIFY(!error.isEmpty());
    }
    QVERIFY(!load(QStringLiteral("missing"), QByteArray()));
    QVERIFY(!error.isEmpty());
    QCOMPARE(sim->stateCopy().fileBytes(), defaults);

    QByteArray bytes(ConfigImage::FileSize, 0);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + 3);
    QVERIFY2(load(QStringLiteral("first.vlr"), bytes), qPrintable(error));
    QCOMPARE(master->holding(0, 1), QVector<quint16>{quint16(quint8(bytes[0]) | quint8(bytes[1]) << 8)});
    QCOMPARE(master->holding(1999, 1), QVector<quint16>{quint16(quint8(bytes[2658]) | quint8(bytes[2659]) << 8)});
    // A full write from the master changes every register but not bytes 2652-2657.
    const QVector<quint16> zeros(63, 0);
    for (int part = 0; part < 21; ++part)
        QCOMPARE(master->writeMultiple(63 * part, 63, zeros.constData()), 63);
    QCOMPARE(master->writeMultiple(1323, 3, zeros.constData()), 3);
    const QString saved = dir.filePath(QStringLiteral("saved.vlr"));
    QVERIFY2(sim->stateCopy().saveFile(saved, &error), qPrintable(error));
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray(2652, 0) + bytes.mid(2652));
}

QTEST_GUILESS_MAIN(TestSimRegisters)
#include "tst_simregisters.moc"
