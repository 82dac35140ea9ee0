// libFuzzer target: any byte pattern, loaded as a configuration file, must
// load (or be refused) without a crash or an out-of-range read, and every
// code must turn into a text the window can show. Built with
// FUZZ_WITH_WINDOW it also shows each loaded image in the editor window
// (offscreen) and stores it back.

#include "configfile.h"
#include "configimage.h"
#include "imagecheck.h"
#ifdef FUZZ_WITH_WINDOW
#include "windowcheck.h"
#include <QApplication>
#include <memory>
#endif

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "fuzz_configfile: %s %s\n", what, qPrintable(detail));
    std::abort();
}

const QString &inputPath()
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("input.vlr"));
    return path;
}

void writeInput(const QByteArray &bytes)
{
    QFile file(inputPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fail("cannot write the input file");
}

#ifdef FUZZ_WITH_WINDOW
MainWindow *window()
{
    static int argc = 1;
    static char name[] = "fuzz_configwindow";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    static std::unique_ptr<MainWindow> main(new MainWindow);
    return main.get();
}

void checkWindow(const ConfigImage &image)
{
    const QString failure = WindowCheck::checkRefreshIsStable(*window(), image);
    if (!failure.isEmpty())
        fail("window round trip not stable:", failure);
}
#endif

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef FUZZ_WITH_WINDOW
    window();
#endif
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    writeInput(bytes);

    static ConfigImage image;
    image.applyDefaults();
    const ConfigImage before = image;
    QString error;
    const bool loaded = ConfigFile::load(inputPath(), &image, &error);

    if (loaded != (bytes.size() >= ConfigImage::FileSize))
        fail("load result does not follow the size", error);
    if (!loaded && (image != before || error.isEmpty()))
        fail("a refused file changed the image or gave no message");
    if (loaded && ConfigFile::toBytes(image) != bytes.left(ConfigImage::FileSize))
        fail("loaded image differs from the file's first bytes");

    const QString failure = ImageCheck::checkTexts(image);
    if (!failure.isEmpty())
        fail("text check:", failure);
#ifdef FUZZ_WITH_WINDOW
    if (loaded)
        checkWindow(image);
#endif
    return 0;
}
