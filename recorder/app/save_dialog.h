// The "Save Audio" dialog: the name of the file to write into the archive folder, its format
// and quality, the fades and the maximising, for a range of the take. Save checks the name,
// asks before replacing a file of that name, stores the choices in the Settings record and
// closes the dialog accepted; Cancel or closing the window stores nothing. Window thread only.
#pragma once

#include "core/settings.h"

#include <QDialog>
#include <QString>

#include <cstdint>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace wavelark {

struct Skin;

inline constexpr char kInvalidNameCaption[] = "INVALID NAME";
inline constexpr char kInvalidNameText[] =
    "Please make sure that you have typed\na name in and that it is made\nup of Alphanumeric Characters only";

// A name is at least one character, every one an ASCII letter, digit, blank, '-' or '_'.
bool validSaveName(const QByteArray& name);

class SaveDialog : public QDialog {
public:
    // rangeBytes: the length of the range to save (bytes of the take). settings must outlive the
    // dialog; it is written only when the dialog ends with Save.
    SaveDialog(Settings& settings, uint32_t rangeBytes, const Skin& skin, QWidget* owner);

    // The name as typed (at most 259 characters), valid once the dialog was accepted.
    const QString& name() const { return m_name; }
    // The selection's length in milliseconds.
    double selectionMilliseconds() const { return m_selectionMilliseconds; }

    // One step of a fade field's spinner: up (true) or down. The fade-in spinner does not rise
    // once its value reaches the selection's length; both stop at 0 and 10 seconds.
    void stepFade(int fieldId, bool up);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void formatChosen(int index);
    void fadeFieldLeft(QLineEdit* field);
    void save();
    QLineEdit* fadeField(int fieldId) const;
    QString extension() const;

    Settings& m_settings;
    const double m_selectionMilliseconds;
    int m_format = 0;
    int m_quality = 0;
    QString m_name;
    QLineEdit* m_nameField = nullptr;      // Owned by the dialog
    QComboBox* m_formatCombo = nullptr;    // Owned by the dialog
    QComboBox* m_qualityCombo = nullptr;   // Owned by the dialog
    QCheckBox* m_fadeStart = nullptr;      // Owned by the dialog
    QCheckBox* m_fadeEnd = nullptr;        // Owned by the dialog
    QCheckBox* m_maximise = nullptr;       // Owned by the dialog
    QLineEdit* m_fadeIn = nullptr;         // Owned by the dialog
    QLineEdit* m_fadeOut = nullptr;        // Owned by the dialog
};

}
