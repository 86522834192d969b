// The user guide shipped with the program: an HTML page installed beside the executable (and
// embedded in it, for copies of the program that lack the file).
#pragma once

#include <QString>
#include <QUrl>

namespace wavelark {

inline constexpr char kUserGuideFileName[] = "wavelark-guide.html";

// The guide's address, at the section named by anchor when it is not empty. Uses the page beside
// the executable; without it, writes the embedded page into dataFolder and uses that copy.
QUrl userGuideUrl(const QString& dataFolder, const QString& anchor = {});

// Opens the guide in the user's web browser. Returns false when no browser could be started.
bool openUserGuide(const QString& dataFolder, const QString& anchor = {});

}
