// The "Save Tracks" dialog: the side's album, artist and year, a title per track (a table,
// prefilled "Track 01" ...), the format and quality as "Save Audio" offers them, a short fade at
// each cut and one maximise for the whole side up to 0 dBFS or -1 dBFS. Save closes it accepted
// with its choices (choices(), for the session's saveTracks); Cancel or closing it keeps nothing.
// The Settings record is only read (the format and quality the last save used); nothing is
// written to it. Window thread only.
#pragma once

#include "tracks/track_batch.h"
#include "tracks/track_markers.h"

#include "core/settings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QTableWidget;

namespace wavelark {

struct Skin;

inline constexpr char kSaveTracksTitle[] = "SAVE TRACKS";

// The formats of the save dialog's list, in its order, as their names ("MP3", "WMA", "WAV", ...):
// every SaveFormat the save's conversion names by its own extension.
QStringList saveFormatNames();

class SaveTracksDialog : public QDialog {
public:
    // One title row per marker of markers. skin may be null (the default font).
    SaveTracksDialog(const Settings& settings, const TrackMarkers& markers, const Skin* skin, QWidget* owner);

    // Valid once the dialog was accepted.
    const TrackBatchChoices& choices() const { return m_choices; }

    // The controls, for tests that fill the dialog as a user would.
    QLineEdit* albumField() const { return m_album; }
    QLineEdit* artistField() const { return m_artist; }
    QLineEdit* yearField() const { return m_year; }
    QTableWidget* titleTable() const { return m_titles; }
    QComboBox* formatCombo() const { return m_format; }
    QComboBox* qualityCombo() const { return m_quality; }
    QCheckBox* fadesBox() const { return m_fades; }
    QSpinBox* fadeLength() const { return m_fadeLength; }
    QCheckBox* maximiseBox() const { return m_maximise; }
    QComboBox* ceilingCombo() const { return m_ceiling; }

private:
    void formatChosen(int index);
    void save();

    TrackBatchChoices m_choices;
    QLineEdit* m_album = nullptr;       // Owned by the dialog
    QLineEdit* m_artist = nullptr;      // Owned by the dialog
    QLineEdit* m_year = nullptr;        // Owned by the dialog
    QTableWidget* m_titles = nullptr;   // Owned by the dialog
    QComboBox* m_format = nullptr;      // Owned by the dialog
    QComboBox* m_quality = nullptr;     // Owned by the dialog
    QCheckBox* m_fades = nullptr;       // Owned by the dialog
    QSpinBox* m_fadeLength = nullptr;   // Owned by the dialog
    QCheckBox* m_maximise = nullptr;    // Owned by the dialog
    QComboBox* m_ceiling = nullptr;     // Owned by the dialog
};

}
