// Starting the installed recorder from its install folder. Window thread.
#pragma once

#include <QString>
#include <QStringList>

namespace wavelark::setup {

// The shared libraries program needs that the dynamic loader cannot find (their names, as the
// program asks for them); empty when every one is found. The loader only lists the libraries
// (LD_TRACE_LOADED_OBJECTS): the program itself does not run. A program the loader cannot
// inspect gives an empty list; starting it then reports the failure.
QStringList missingLibraries(const QString& program);

struct ProgramStart {
    bool started = false;
    qint64 processId = 0;
    // Why the program did not start: the libraries it lacks, or the system's reason.
    QString reason;
};

// Starts installFolder + "wavelark" detached, with installFolder as its working folder and the
// setup program's environment, after checking that the loader finds every library it needs.
ProgramStart startInstalledProgram(const QString& installFolder);

}
