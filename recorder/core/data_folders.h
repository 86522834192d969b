// The folders the recorder works in, found once at start-up.
#pragma once

#include <QString>

namespace wavelark {

// The files the recorder keeps in its data folder. Fixed once the folder is found.
struct DataPaths {
    QString folder;  // ends with '/'

    QString settings() const { return folder + QStringLiteral("settings.dat"); }
    QString take() const { return folder + QStringLiteral("recording.raw"); }
    QString peakCache() const { return folder + QStringLiteral("wd.dat"); }
    QString temporaryWav() const { return folder + QStringLiteral("temp.wav"); }
    // Present from the start of a recording or an import to the end of the take's preparation:
    // found at start-up, it says which of them was interrupted.
    QString recordingMark() const { return folder + QStringLiteral("recording.mark"); }
    // Present while a save writes into the archive folder, naming the side file it writes there.
    QString savingMark() const { return folder + QStringLiteral("saving.mark"); }
};

// The data folder, where settings.dat, recording.raw, wd.dat and temp.wav live, ending with '/':
// $WAVELARK_HOME when set, else the executable's folder when it is writable and holds the
// toolkit beside the program (an installation made by setup), else $XDG_DATA_HOME/wavelark/.
// The folder is created when missing.
QString findDataFolder();

// The default archive folder: the user's music folder, ending with '/'.
QString defaultArchiveFolder();

// The full path of the volume-control program (pavucontrol) on the PATH, or empty.
QString findMixerProgram();

// The folder of the running executable, ending with '/'.
QString programFolder();

}
