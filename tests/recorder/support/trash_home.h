// HOME and XDG_DATA_HOME in a temporary folder while a TrashHome lives, so that a file moved to
// the Trash lands in its own Trash/files (the folder is on the archive's file system, so the home
// Trash is the one used); or, with withoutTrash, a data folder where no Trash can be made.
#pragma once

#include "support/temporary_folder.h"

#include <QByteArray>
#include <QtGlobal>

#include <filesystem>

namespace wavelark::testing {

class TrashHome {
public:
    TrashHome()
        : m_oldHome(qgetenv("HOME"))
        , m_oldDataHome(qgetenv("XDG_DATA_HOME"))
    {
        qputenv("HOME", QByteArray(m_folder.path().c_str()));
        qputenv("XDG_DATA_HOME", QByteArray((m_folder.path() / "data").c_str()));
    }
    ~TrashHome()
    {
        qputenv("HOME", m_oldHome);
        qputenv("XDG_DATA_HOME", m_oldDataHome);
    }
    TrashHome(const TrashHome&) = delete;
    TrashHome& operator=(const TrashHome&) = delete;

    // The data folder is a file: no Trash can be made in it.
    void withoutTrash() const
    {
        const std::filesystem::path file = m_folder.path() / "not a folder";
        writeFile(file, "x");
        qputenv("XDG_DATA_HOME", QByteArray(file.c_str()));
    }
    std::filesystem::path trashFiles() const { return m_folder.path() / "data" / "Trash" / "files"; }
    std::filesystem::path trashInfo() const { return m_folder.path() / "data" / "Trash" / "info"; }

private:
    TemporaryFolder m_folder;
    QByteArray m_oldHome;
    QByteArray m_oldDataHome;
};

}
