#include "platform/dialog_screenshot.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kinemo::platform::screenshot {
namespace {

// Inserted before the extension of every saved picture ("" at 100 %, "_200"
// at 200 %).
QString g_scaleSuffix;

}  // namespace

QString ReadOptions(int argc, char** argv, std::initializer_list<ValueOption> more) {
    QString output = QStringLiteral("docs/screenshots");
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argument, "--scale") == 0 && hasValue) {
            char* end = nullptr;
            const double scale = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end != '\0' || !(scale >= 0.5 && scale <= 4.0)) {
                std::fprintf(stderr, "%s: --scale takes a factor from 0.5 to 4, not '%s'\n",
                             argv[0], argv[i]);
                std::exit(2);
            }
            // Before the application object, which reads it once.
            setenv("QT_SCALE_FACTOR", argv[i], 1);
            const int percent = static_cast<int>(std::lround(scale * 100));
            g_scaleSuffix = percent == 100 ? QString() : QStringLiteral("_%1").arg(percent);
            continue;
        }
        bool taken = false;
        for (const ValueOption& option : more) {
            if (std::strcmp(argument, option.name) == 0 && hasValue) {
                *option.value = argv[++i];
                taken = true;
                break;
            }
        }
        if (!taken) {
            output = QString::fromLocal8Bit(argument);
        }
    }
    return output;
}

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
    QString file = QString::fromLatin1(name);
    file.insert(file.lastIndexOf(QLatin1Char('.')), g_scaleSuffix);
    const QString path = dir.filePath(file);
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
