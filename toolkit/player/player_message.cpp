#include "player_message.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <cstdio>

namespace sorvak::player {

void showPlayerError(const char* text, const char* caption)
{
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (application && QThread::currentThread() == application->thread()) {
        QMessageBox::critical(nullptr, QString::fromUtf8(caption), QString::fromUtf8(text));
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption, text);
}

}
