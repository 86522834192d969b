// What the setup program carries and where it puts it: the three files embedded as resources
// (":/BINARY/<id>"), the licence agreement (":/LICENSE/111"), the dialog's images
// (":/BITMAP/<id>"), and the names and modes the files are installed with.
#pragma once

#include <QFileDevice>
#include <QList>
#include <QString>

namespace wavelark::setup {

// One file to install: its embedded content and its name and mode in the install folder.
struct PayloadFile {
    QString resource;                    // ":/BINARY/113", ...
    QString name;                        // "wavelark", ...
    QFileDevice::Permissions permissions;
};

// The recorder (113, mode 0755), the MP3 encoder library (115, 0644) and the toolkit (116,
// 0644), in the order they are written.
QList<PayloadFile> payloadFiles();

inline constexpr char kRecorderFileName[] = "wavelark";
// The folder made under the chosen path.
inline constexpr char kInstallFolderName[] = "Wavelark/";
inline constexpr char kLicenceResource[] = ":/LICENSE/111";
inline constexpr char kBannerResource[] = ":/BITMAP/112";
inline constexpr char kBrowseImageResource[] = ":/BITMAP/104";
// Paths longer than this are refused.
inline constexpr int kLongestPath = 2048;

// The licence agreement as it is embedded; empty only in a broken build.
QString licenceText();

// The path the dialog starts with: the user's home folder, ending with '/'.
QString initialInstallPath();

// A folder chosen in the folder browser as the install path: with one trailing '/' ("/" stays "/").
QString installPathOf(const QString& folder);

// The install folder for an install path: path + "Wavelark/".
QString installFolderOf(const QString& installPath);

}
