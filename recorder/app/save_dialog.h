// The "Save Audio" dialog: the name of the file to write into the archive folder, its format
// and quality, the fades and the maximising, for a range of the take. Save checks the name (its
// characters, and its length against the archive folder's file names), asks before replacing a
// file of that name, stores the choices in the Settings record and closes the dialog accepted
// with them (choices(), for the session's save); Cancel or closing the window stores nothing.
// Window thread only.
#pragma once

#include "take/save_pass.h"

#include "core/settings.h"

#include <QDialog>
#include <QString>

#include <cstdint>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace wavelark {

// The Quality box's tooltip: what HIGH, MEDIUM and LOW mean in each format.
inline constexpr char kQualityToolTip[] =
    "MP3: HIGH 256 kbit/s, MEDIUM 128 kbit/s, LOW 64 kbit/s\n"
    "WMA: 128 kbit/s at every quality\n"
    "WAV: HIGH 44.1 kHz 16-bit, MEDIUM 22.05 kHz 16-bit, LOW 11.025 kHz 8-bit\n"
    "FLAC: always lossless; HIGH compression level 8, MEDIUM 5, LOW 0";

struct Skin;

inline constexpr char kInvalidNameCaption[] = "INVALID NAME";
inline constexpr char kInvalidNameText[] =
    "Please make sure that you have typed\na name in and that it is made\nup of Alphanumeric Characters only";
// Shown under kInvalidNameCaption for a name too long for a file name with its extension; %1 is
// the most characters the name can have.
inline constexpr char kNameTooLongText[] = "Please make sure that the name\nis no longer than %1 characters";

// A name is at least one character, every one an ASCII letter, digit, blank, '-' or '_'.
bool validSaveName(const QByteArray& name);

class SaveDialog : public QDialog {
public:
    // rangeBytes: the length of the range to save (bytes of the take). settings must outlive the
    // dialog; it is written only when the dialog ends with Save.
    SaveDialog(Settings& settings, uint32_t rangeBytes, const Skin& skin, QWidget* owner);

    // The choices the dialog was accepted with: the name as typed (at most 259 characters, and
    // with its extension no longer than the archive folder's file names can be), the format,
    // quality, fades and maximise, as they were also stored in the Settings record. Valid once
    // the dialog was accepted.
    const SaveChoices& choices() const { return m_choices; }
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
    SaveChoices m_choices;
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
