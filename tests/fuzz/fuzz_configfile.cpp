// libFuzzer target: any bytes, loaded as a configuration file, load whole or
// are refused leaving the image be, and its words show as the window can.
// With FUZZ_WITH_WINDOW each image also goes through the window.
#include "imagecheck.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#ifdef FUZZ_WITH_WINDOW
static MainWindow &window()
{
    static int argc = 1;
    static char name[] = "fuzz_configwindow";
    static char *argv[] = {name, nullptr};
    static const bool offscreen = qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    static MainWindow *main = new MainWindow; // lives until the process ends
    Q_UNUSED(offscreen);
    return *main;
}
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("input.vlr"));
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            qFatal("cannot write the input file");
    }
    static ConfigImage image;
    image.applyDefaults();
    QString failure = ImageCheck::checkLoad(path, bytes, &image);
    if (failure.isEmpty())
        failure = ImageCheck::checkTexts(image);
#ifdef FUZZ_WITH_WINDOW
    if (bytes.size() >= ConfigImage::FileSize && failure.isEmpty())
        failure = ImageCheck::checkRefreshIsStable(window(), image);
#endif
    if (!failure.isEmpty())
        qFatal("%s", qPrintable(failure));
    return 0;
}
