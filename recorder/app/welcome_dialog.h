// The welcome dialog (103), shown before the main window while the Settings record's
// show-welcome field is set.
#pragma once

#include <QDialog>

class QCheckBox;

namespace wavelark {

struct ProgramState;
struct Skin;

class WelcomeDialog : public QDialog {
public:
    WelcomeDialog(ProgramState& state, const Skin& skin, QWidget* parent = nullptr);

    // Stores show-welcome (0 when "Don't Show Me This Again" is checked, else 1) in the record.
    void done(int result) override;

private:
    ProgramState& m_state;
    QCheckBox* m_dontShow = nullptr;  // Owned by the dialog
};

}
