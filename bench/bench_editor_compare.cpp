// How long a comparison takes when every field the window shows differs:
// ConfigDiff over two images in different polling modes (both layouts
// compared), then the dialog filled with every row. Runs offscreen unless a
// platform is given.
#include "comparedialog.h"
#include "configdiff.h"
#include "configimage.h"

#include "benchtiming.h"

#include <QApplication>
#include <QTextStream>

#include <cstring>

namespace {

constexpr int Rounds = 21;

// Against a zeroed image every shown field of this one differs.
ConfigImage everythingDifferent()
{
    ConfigImage image;
    std::memset(image.MainBlock, 1, ConfigImage::MainRegisterBytes);
    image.setWord(ConfigImage::PollingMode, 1);
    image.setDword(ConfigImage::InputContactMask, 0x00FFFFFF);
    for (int i = 0; i < ConfigImage::InputCount; ++i)
        image.setWord(ConfigImage::InputDelay + 2 * i, 40);
    for (int v = 0; v < 252; ++v)
        image.setByte(ConfigImage::ValveReportFlags + v, 3);
    image.setByte(ConfigImage::RelayPositions, 0x0F);
    image.setByte(ConfigImage::DialFlags, 0x3F);
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

    const ConfigImage left;
    const ConfigImage right = everythingDifferent();
    QVector<ConfigDiff::Entry> entries;
    const bench::Timing diff = bench::median(Rounds, [&] { entries = ConfigDiff::compare(left, right); });
    out << "differences: " << entries.size() << " (the " << ConfigDiff::fields(right).size()
        << " fields of the addressed layout and the single line's 8)\n";
    out << "ConfigDiff::compare, median: " << diff.call << " ms\n";

    CompareDialog dialog;
    dialog.show();
    const bench::Timing fill = bench::median(Rounds, [&] {
        dialog.setComparison(CompareDialog::Controller, entries);
    }, [&] { dialog.setComparison(CompareDialog::File, {}); });
    out << "dialog filled with every row, median: " << fill << "\n";

    const bench::Timing whole = bench::median(Rounds, [&] {
        dialog.setComparison(CompareDialog::Controller, ConfigDiff::compare(left, right));
    }, [&] { dialog.setComparison(CompareDialog::File, {}); });
    out << "diff and fill together, median: " << whole << " (target < 50 ms)\n";
    out << "peak RSS: " << bench::peakRssKb() << " kB\n";
    return 0;
}
