// One preparation of one file, as the upload does it, in a process of its own so that its time and
// peak memory can be measured alone.
#include "FeedbackScreenshot.h"

#include <QFile>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s IN OUT.jpg\n", argv[0]);
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = in.readAll();
    in.close();
    const std::optional<QByteArray> prepared = Feedback::preparedScreenshot(bytes);
    if (!prepared)
        return 1;
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly) || out.write(*prepared) != prepared->size())
        return 1;
    return 0;
}
