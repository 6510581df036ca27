// A second writer of the change journal for the tests: writes COUNT rows with
// the code TAG and the captions 0 .. COUNT-1 into the journal at PATH.
// Exit status 0 when every row was written (waiting for the other writers as
// long as it takes them).
#include "journal/journal.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4)
        return 2;
    dxu::Journal journal(args[1], [](const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); });
    const int count = args[3].toInt();
    for (int i = 0; i < count; ++i) {
        dxu::Change c;
        c.code = args[2];
        c.caption = QString::number(i);
        journal.recordChange(c);
    }
    return journal.finish(60000).empty() ? 0 : 1;
}
