#ifndef VLRTOOL_H
#define VLRTOOL_H

#include <QString>
#include <QStringList>

class ConfigImage;
class QIODevice;

// The command-line tool over .vlr files: "show FILE" lists every field the
// editor window shows, "diff A B" lists the differences in the window's
// words, "history [FILE]" lists the editor's record of writes, "--json"
// gives the same content as one JSON document. Output is
// UTF-8; exit status as diff(1): 0 equal, 1 different, 2 trouble. No widgets
// and no event loop, so it runs anywhere a QCoreApplication can.
class VlrTool
{
public:
    enum Status { Equal = 0, Different = 1, Trouble = 2 };

    // One command line without the program name; writes to out and err.
    static int run(const QStringList &arguments, QIODevice &out, QIODevice &err);

    static QString helpText();

private:
    struct Request {
        bool json = false;
        bool help = false;
        QString command;
        QStringList files;
        QString error;
    };

    static Request parse(const QStringList &arguments);
    static bool load(const QString &path, ConfigImage &image, QIODevice &err);
    static int show(const Request &request, QIODevice &out, QIODevice &err);
    static int diff(const Request &request, QIODevice &out, QIODevice &err);
    static int history(const Request &request, QIODevice &out, QIODevice &err);
    static void write(QIODevice &device, const QString &text);
};

#endif // VLRTOOL_H
