// The cost of the record of writes and of the settings protocol: a row begun
// and completed (two commits that each reach the disk), the history read
// back, and the protocol of an addressed configuration (every table at full
// length) written as a PDF. Files go to a temporary folder; runs offscreen
// unless a platform is given.
#include "configfile.h"
#include "configimage.h"
#include "protocoldocument.h"
#include "writelog.h"

#include "benchtiming.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

constexpr int Rounds = 21;
constexpr int PdfRounds = 5;

ConfigImage addressed()
{
    ConfigImage image;
    image.applyDefaults();
    image.setWord(ConfigImage::PollingMode, 1);
    for (int slot = 0; slot < ConfigImage::PhoneCount; ++slot)
        image.setPhoneNumber(slot, "+79001234567");
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    bench::preferOffscreen();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    const ConfigImage image = addressed();
    WriteLog log;
    if (!log.open(dir.filePath("writes.sqlite"))) {
        out << log.problem() << "\n";
        return 1;
    }
    WriteRecord row;
    row.engineer = "bench";
    row.link = "COM-порт /dev/ttyUSB0, адрес 1";
    row.before = ConfigFile::toBytes(ConfigImage());
    row.written = ConfigFile::toBytes(image);
    const bench::Timing record = bench::median(Rounds, [&] {
        row.started = QDateTime::currentDateTime();
        log.begin(row);
        log.finish(row.id, WriteRecord::Written, "Данные отправлены", QDateTime::currentDateTime());
    });
    out << "a write recorded (begin + finish, synchronous FULL), median: " << record.call << " ms\n";
    const bench::Timing listed = bench::median(Rounds, [&] { log.records(); });
    out << "history of " << log.records().size() << " rows read, median: " << listed.call << " ms\n";

    ProtocolDocument::Content content;
    content.object = "bench";
    content.link = row.link;
    content.engineer = row.engineer;
    content.date = QDateTime::currentDateTime();
    content.image = image;
    int pages = 0;
    QString error;
    const bench::Timing pdf = bench::median(PdfRounds, [&] {
        pages = ProtocolDocument(content).writePdf(dir.filePath("protocol.pdf"), &error);
    });
    out << "protocol of an addressed configuration: " << pages << " pages, median: " << pdf.call << " ms\n";
    return pages > 0 ? 0 : 1;
}
