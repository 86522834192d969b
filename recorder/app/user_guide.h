// The user guide shipped with the program: an HTML page installed beside the executable (and
// embedded in it, for copies of the program that lack the file).
#pragma once

#include <QString>
#include <QUrl>

class QWidget;

namespace wavelark {

inline constexpr char kUserGuideFileName[] = "wavelark-guide.html";

// The guide's address, at the section named by anchor when it is not empty. Uses the page beside
// the executable; without it, writes the embedded page into dataFolder and uses that copy.
QUrl userGuideUrl(const QString& dataFolder, const QString& anchor = {});

// Opens the guide in the user's web browser; a message owned by owner when none could open it.
void openUserGuide(QWidget* owner, const QString& dataFolder, const QString& anchor = {});

// Opens url with the desktop's default program; when nothing could open it, a message owned by
// owner names what (e.g. "the archive folder") and why.
void openLink(QWidget* owner, const QUrl& url, const QString& what);

}
