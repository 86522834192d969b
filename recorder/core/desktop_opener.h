// Opens a file, a folder, a web page or a mail address with the desktop's default program
// (xdg-open), and tells the caller when nothing could open it: xdg-open missing, or finishing
// with a failure because the desktop has no program for the link. The caller's failed function
// runs on the calling thread's event loop, at most once. Window thread.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QObject;

namespace wavelark {

// context: the object whose lifetime bounds the answer (no call after it is gone).
void openOnDesktop(const QUrl& url, QObject* context, std::function<void(const QString& reason)> failed);

}
