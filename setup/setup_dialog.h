// The "Program Setup" dialog: the licence agreement, the install path (changed only through
// the folder browser), the agreement box that enables Install, and Install, which writes the
// carried files into <install path>Wavelark/, says so and starts the installed recorder.
// Window thread only.
#pragma once

#include "installed_program.h"

#include <QDialog>
#include <QMessageBox>
#include <QString>

#include <functional>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace wavelark::setup {

// Control identifiers of the dialog (the "controlId" property of each control).
namespace ids {
inline constexpr int kBanner = 1017;
inline constexpr int kInstallPath = 1009;
inline constexpr int kBrowse = 1004;
inline constexpr int kLicence = 1014;
inline constexpr int kAgreement = 1008;
inline constexpr int kInstall = 1003;
}

inline constexpr char kSuccessCaption[] = "SUCCESS";
inline constexpr char kSuccessText[] = "SETUP is Complete !";
inline constexpr char kErrorCaption[] = "ERROR";
inline constexpr char kCannotOpenText[] = "Cannot Open Program";

// What the dialog asks of the desktop. The defaults are the real folder browser, message boxes
// and program start; tests replace them.
struct SetupServices {
    // The folder chosen in a folder browser titled "Select a Folder to Install to"; empty when
    // the user cancels.
    std::function<QString(QWidget* owner)> browseForFolder;
    // A message box with an OK button; returns when the user has closed it.
    std::function<void(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text)> showMessage;
    // Starts the installed recorder.
    std::function<ProgramStart(const QString& installFolder)> startProgram;
};

SetupServices desktopServices();

class SetupDialog : public QDialog {
public:
    explicit SetupDialog(SetupServices services = desktopServices(), QWidget* owner = nullptr);

    // The path box's text, ending with '/'.
    QString installPath() const;
    // True once an installation has been written (the dialog then closes).
    bool installed() const { return m_installed; }

    // Browse and Install, as their buttons run them.
    void browse();
    void install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void setControlsEnabled(bool enabled);

    SetupServices m_services;
    bool m_browsing = false;
    bool m_installed = false;
    QLineEdit* m_path = nullptr;          // Owned by the dialog
    QPushButton* m_browse = nullptr;      // Owned by the dialog
    QPlainTextEdit* m_licence = nullptr;  // Owned by the dialog
    QCheckBox* m_agreement = nullptr;     // Owned by the dialog
    QPushButton* m_install = nullptr;     // Owned by the dialog
};

}
