#include "platform/dialog_screenshot.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <cstdio>

namespace kinemo::platform::screenshot {

void ServeEvents(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

bool ServeUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms) {
        ServeEvents(20);
    }
    return done();
}

bool Save(QWidget& window, const QDir& dir, const char* name, const char* tool) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "%s: cannot write %s\n", tool, qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

void Click(DialogWindow& window, int id) {
    window.Control<QAbstractButton>(id)->click();
}

}  // namespace kinemo::platform::screenshot
