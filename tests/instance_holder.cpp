// Holds the program's instance lock at the given path until it is killed,
// standing in for an instance that is already running.
#include "platform/instance.h"

#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    platform::LockFileInstanceDetector instance(QString::fromLocal8Bit(argv[1]));
    std::puts(instance.anotherInstanceRunning() ? "refused" : "held");
    std::fflush(stdout);
    for (;;)
        pause();
}
