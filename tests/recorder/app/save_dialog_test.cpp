// The "Save Audio" dialog on its own, over a settings record: the fade fields' spinners and
// focus-out correction, WMA's fixed quality, the name check, replacing a file, and Cancel.

#include "capture_test_support.h"
#include "recorder_test_support.h"

#include "app/save_dialog.h"

#include "core/identifiers.h"

#include "widgets/skin.h"

#include "sorvak_widgets.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <cstring>
#include <filesystem>

namespace wavelark {
namespace {

// Bytes of the take for a selection of the given milliseconds.
uint32_t rangeOf(double milliseconds)
{
    return static_cast<uint32_t>(milliseconds * 44.1) * 4;
}

class SaveDialogTest : public ::testing::Test {
protected:
    SaveDialogTest()
    {
        testing::ensureRecorderRuntime();
        QString error;
        EXPECT_TRUE(loadSkin(m_skin, &error)) << error.toStdString();
        m_settings = defaultSettings(QString::fromStdString(m_folder.path().string() + "/"));
    }
    std::unique_ptr<SaveDialog> open(double milliseconds)
    {
        auto dialog = std::make_unique<SaveDialog>(m_settings, rangeOf(milliseconds), m_skin, nullptr);
        dialog->show();
        return dialog;
    }
    template <typename Widget>
    static Widget* control(SaveDialog& dialog, int id)
    {
        return static_cast<Widget*>(sorvak::findControl(&dialog, id));
    }
    static QString fadeIn(SaveDialog& dialog) { return control<QLineEdit>(dialog, ids::kSaveFadeInField)->text(); }
    static QString fadeOut(SaveDialog& dialog) { return control<QLineEdit>(dialog, ids::kSaveFadeOutField)->text(); }
    static void typeName(SaveDialog& dialog, const QString& name)
    {
        control<QLineEdit>(dialog, ids::kSaveNameField)->setText(name);
    }
    static void pressSave(SaveDialog& dialog) { control<QPushButton>(dialog, ids::kSaveButton)->click(); }

    testing::TemporaryFolder m_folder;
    Skin m_skin;
    Settings m_settings{};
    testing::ModalRecorder m_boxes;
};

TEST_F(SaveDialogTest, OpensWithTheStoredChoicesAndTheSelectionsLength)
{
    m_settings.fadeStartOn = 1;
    m_settings.fadeStartLength = 1500;
    m_settings.fadeEndLength = 2250;
    m_settings.saveFormat = 2;
    m_settings.saveQuality = 1;
    auto dialog = open(65000);
    EXPECT_EQ(fadeIn(*dialog), QStringLiteral("1.50"));
    EXPECT_EQ(fadeOut(*dialog), QStringLiteral("2.25"));
    EXPECT_TRUE(control<QLineEdit>(*dialog, ids::kSaveFadeInField)->isEnabled());
    EXPECT_FALSE(control<QLineEdit>(*dialog, ids::kSaveFadeOutField)->isEnabled());
    EXPECT_EQ(control<QComboBox>(*dialog, ids::kSaveFormatCombo)->currentText(), QStringLiteral("WAV"));
    EXPECT_EQ(control<QComboBox>(*dialog, ids::kSaveQualityCombo)->currentText(), QStringLiteral("MEDIUM"));
    EXPECT_TRUE(dialog->windowTitle().startsWith(QStringLiteral("SAVE AUDIO - LENGTH: ")));
    // Fades that outlast the selection show as none; the record keeps them until Save.
    auto shortOne = open(3000);
    EXPECT_EQ(fadeIn(*shortOne), QStringLiteral("0.00"));
    EXPECT_EQ(fadeOut(*shortOne), QStringLiteral("0.00"));
    EXPECT_EQ(m_settings.fadeStartLength, 1500u);
}

TEST_F(SaveDialogTest, FadeInSpinnerStopsAtTheSelectionAndFadeOutAtTenSeconds)
{
    m_settings.fadeStartLength = 1980;
    m_settings.fadeEndLength = 9980;
    auto dialog = open(2000);
    // 1.98 + 9.98 outlast two seconds: both fields open at 0.00.
    control<QLineEdit>(*dialog, ids::kSaveFadeInField)->setText(QStringLiteral("1.98"));
    dialog->stepFade(ids::kSaveFadeInField, true);
    EXPECT_EQ(fadeIn(*dialog), QStringLiteral("1.99"));
    dialog->stepFade(ids::kSaveFadeInField, true);
    EXPECT_EQ(fadeIn(*dialog), QStringLiteral("2.00"));
    dialog->stepFade(ids::kSaveFadeInField, true);
    EXPECT_EQ(fadeIn(*dialog), QStringLiteral("2.00"));
    control<QLineEdit>(*dialog, ids::kSaveFadeOutField)->setText(QStringLiteral("9.99"));
    dialog->stepFade(ids::kSaveFadeOutField, true);
    dialog->stepFade(ids::kSaveFadeOutField, true);
    EXPECT_EQ(fadeOut(*dialog), QStringLiteral("10.00"));
    control<QLineEdit>(*dialog, ids::kSaveFadeOutField)->setText(QStringLiteral("0.00"));
    dialog->stepFade(ids::kSaveFadeOutField, false);
    EXPECT_EQ(fadeOut(*dialog), QStringLiteral("0.00"));
}

struct FocusCase {
    double selectionMilliseconds;
    const char* typed;
    const char* otherField;
    const char* expectedTyped;
    const char* expectedOther;
};

class SaveDialogFocus : public SaveDialogTest, public ::testing::WithParamInterface<FocusCase> {};

// Leaving a fade field holds it to 0..10 seconds, or clears both when together they outlast the
// selection.
TEST_P(SaveDialogFocus, LeavingTheFadeInFieldCorrectsIt)
{
    const FocusCase row = GetParam();
    m_settings.fadeStartOn = 1;
    m_settings.fadeEndOn = 1;
    m_settings.fadeStartLength = 0;
    m_settings.fadeEndLength = 0;
    auto dialog = open(row.selectionMilliseconds);
    auto* fadeInField = control<QLineEdit>(*dialog, ids::kSaveFadeInField);
    auto* fadeOutField = control<QLineEdit>(*dialog, ids::kSaveFadeOutField);
    fadeOutField->setText(QString::fromLatin1(row.otherField));
    fadeInField->setText(QString::fromLatin1(row.typed));
    QFocusEvent left(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(fadeInField, &left);
    EXPECT_EQ(fadeIn(*dialog), QString::fromLatin1(row.expectedTyped));
    EXPECT_EQ(fadeOut(*dialog), QString::fromLatin1(row.expectedOther));
}

INSTANTIATE_TEST_SUITE_P(Fields, SaveDialogFocus,
                         ::testing::Values(FocusCase{60000, "25", "1.00", "10.00", "1.00"},
                                           FocusCase{20000, "25", "1.00", "0.00", "0.00"},
                                           FocusCase{20000, "-3", "1.00", "0.00", "1.00"},
                                           FocusCase{20000, "2.5", "1.25", "2.50", "1.25"}),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

TEST_F(SaveDialogTest, WmaForcesHighAndTheOthersKeepIt)
{
    m_settings.saveQuality = 2;
    auto dialog = open(5000);
    auto* format = control<QComboBox>(*dialog, ids::kSaveFormatCombo);
    auto* quality = control<QComboBox>(*dialog, ids::kSaveQualityCombo);
    EXPECT_TRUE(quality->isEnabled());
    EXPECT_EQ(quality->currentIndex(), 2);
    format->setCurrentIndex(1);
    EXPECT_FALSE(quality->isEnabled());
    EXPECT_EQ(quality->currentIndex(), 0);
    format->setCurrentIndex(0);
    EXPECT_TRUE(quality->isEnabled());
    typeName(*dialog, QStringLiteral("take"));
    pressSave(*dialog);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(m_settings.saveFormat, 0);
    EXPECT_EQ(m_settings.saveQuality, 0);
}

TEST_F(SaveDialogTest, QualityBoxTellsWhatEachQualityMeansInEveryFormat)
{
    auto dialog = open(5000);
    auto* format = control<QComboBox>(*dialog, ids::kSaveFormatCombo);
    auto* quality = control<QComboBox>(*dialog, ids::kSaveQualityCombo);
    EXPECT_EQ((QStringList{quality->itemText(0), quality->itemText(1), quality->itemText(2)}),
              (QStringList{"HIGH", "MEDIUM", "LOW"}));
    // One line per format the box offers, each with what the three qualities mean.
    const struct {
        const char* format;
        const char* meaning;
    } rows[] = {
        {"MP3", "HIGH 256 kbit/s, MEDIUM 128 kbit/s, LOW 64 kbit/s"},
        {"WMA", "128 kbit/s at every quality"},
        {"WAV", "HIGH 44.1 kHz 16-bit, MEDIUM 22.05 kHz 16-bit, LOW 11.025 kHz 8-bit"},
        {"FLAC", "always lossless; HIGH compression level 8, MEDIUM 5, LOW 0"},
    };
    const QStringList lines = quality->toolTip().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), format->count());
    for (const auto& row : rows) {
        EXPECT_GE(format->findText(QString::fromLatin1(row.format)), 0) << row.format;
        EXPECT_TRUE(lines.contains(QStringLiteral("%1: %2").arg(row.format, row.meaning))) << row.format;
    }
    // Shown while WMA keeps the box disabled too.
    format->setCurrentIndex(format->findText(QStringLiteral("WMA")));
    EXPECT_FALSE(quality->isEnabled());
    EXPECT_EQ(quality->toolTip().split(QLatin1Char('\n')), lines);
}

struct NameCase {
    const char* name;
    bool valid;
};

class SaveDialogName : public SaveDialogTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(SaveDialogName, OnlyLettersDigitsBlanksDashesAndUnderscoresAreAccepted)
{
    const NameCase row = GetParam();
    auto dialog = open(5000);
    typeName(*dialog, QString::fromUtf8(row.name));
    pressSave(*dialog);
    EXPECT_EQ(dialog->result() == QDialog::Accepted, row.valid);
    EXPECT_EQ(m_boxes.titles().contains(QStringLiteral("INVALID NAME")), !row.valid);
    if (row.valid)
        EXPECT_EQ(dialog->choices().name, row.name);
    else
        EXPECT_TRUE(dialog->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Names, SaveDialogName,
                         ::testing::Values(NameCase{"Side A - Track_1", true}, NameCase{"   ", true},
                                           NameCase{"", false}, NameCase{"take.mp3", false},
                                           NameCase{"Caf\xc3\xa9", false}, NameCase{"a/b", false}),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

TEST_F(SaveDialogTest, CancelAfterChangingEverythingKeepsTheSettings)
{
    m_settings.fadeStartLength = 500;
    const Settings before = m_settings;
    auto dialog = open(60000);
    control<QCheckBox>(*dialog, ids::kSaveFadeStartBox)->click();
    control<QCheckBox>(*dialog, ids::kSaveFadeEndBox)->click();
    control<QCheckBox>(*dialog, ids::kSaveMaximiseBox)->click();
    control<QLineEdit>(*dialog, ids::kSaveFadeInField)->setText(QStringLiteral("3.00"));
    control<QComboBox>(*dialog, ids::kSaveFormatCombo)->setCurrentIndex(2);
    control<QComboBox>(*dialog, ids::kSaveQualityCombo)->setCurrentIndex(2);
    typeName(*dialog, QStringLiteral("name"));
    control<QPushButton>(*dialog, ids::kSaveCancelButton)->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(std::memcmp(&before, &m_settings, sizeof before), 0);
}

TEST_F(SaveDialogTest, SaveStoresTheChoicesInMilliseconds)
{
    auto dialog = open(60000);
    control<QCheckBox>(*dialog, ids::kSaveFadeStartBox)->click();
    control<QCheckBox>(*dialog, ids::kSaveMaximiseBox)->click();
    control<QLineEdit>(*dialog, ids::kSaveFadeInField)->setText(QStringLiteral("2.50"));
    control<QLineEdit>(*dialog, ids::kSaveFadeOutField)->setText(QStringLiteral("0.25"));
    typeName(*dialog, QStringLiteral("take"));
    pressSave(*dialog);
    ASSERT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(m_settings.fadeStartOn, 1);
    EXPECT_EQ(m_settings.fadeEndOn, 0);
    EXPECT_EQ(m_settings.maximizeOn, 1);
    EXPECT_EQ(m_settings.fadeStartLength, 2500u);
    EXPECT_EQ(m_settings.fadeEndLength, 250u);
    // The same choices go to the save.
    const SaveChoices& choices = dialog->choices();
    EXPECT_EQ(choices.name, "take");
    EXPECT_EQ(choices.format, SaveFormat::Mp3);
    EXPECT_EQ(choices.quality, SaveQuality::High);
    EXPECT_TRUE(choices.fades.fadeInOn);
    EXPECT_EQ(choices.fades.fadeInMilliseconds, 2500u);
    EXPECT_FALSE(choices.fades.fadeOutOn);
    EXPECT_EQ(choices.fades.fadeOutMilliseconds, 250u);
    EXPECT_TRUE(choices.fades.maximiseOn);
}

// FLAC is the fourth "Save As" entry, after the three whose stored indices keep their meaning; it
// has the three qualities (its compression levels) and is stored as 3.
TEST_F(SaveDialogTest, FlacIsTheFourthEntryWithItsQualitiesAndIsStoredAsThree)
{
    m_settings.saveFormat = 3;
    m_settings.saveQuality = 1;
    auto dialog = open(5000);
    auto* format = control<QComboBox>(*dialog, ids::kSaveFormatCombo);
    auto* quality = control<QComboBox>(*dialog, ids::kSaveQualityCombo);
    ASSERT_EQ(format->count(), 4);
    EXPECT_EQ(format->itemText(0) + format->itemText(1) + format->itemText(2), QStringLiteral("MP3WMAWAV"));
    EXPECT_EQ(format->currentText(), QStringLiteral("FLAC"));
    EXPECT_TRUE(quality->isEnabled());
    EXPECT_EQ(quality->currentText(), QStringLiteral("MEDIUM"));
    // Through WMA (fixed HIGH) and back: the quality can be chosen again.
    format->setCurrentIndex(1);
    EXPECT_FALSE(quality->isEnabled());
    format->setCurrentIndex(3);
    EXPECT_TRUE(quality->isEnabled());
    quality->setCurrentIndex(2);
    typeName(*dialog, QStringLiteral("master"));
    pressSave(*dialog);
    ASSERT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(m_settings.saveFormat, 3);
    EXPECT_EQ(m_settings.saveQuality, 2);
    EXPECT_EQ(dialog->choices().format, SaveFormat::Flac);
    EXPECT_EQ(dialog->choices().quality, SaveQuality::Low);
    EXPECT_EQ(dialog->choices().fileName(), "master.flac");
}

struct LengthCase {
    int format; // the format list's index
    int overBy; // name + extension against the longest file name of the archive folder
    bool accepted;
};

class SaveDialogNameLength : public SaveDialogTest, public ::testing::WithParamInterface<LengthCase> {};

// A name is refused like an invalid one once the file name it makes, with its extension, is longer
// than the archive folder's file system allows (also past the 259 characters the field gives);
// up to that it is saved.
TEST_P(SaveDialogNameLength, ANameTooLongForTheFileSystemIsRefused)
{
    const LengthCase row = GetParam();
    const Settings before = m_settings;
    auto dialog = open(5000);
    control<QComboBox>(*dialog, ids::kSaveFormatCombo)->setCurrentIndex(row.format);
    const auto longest = static_cast<int>(longestFileName(m_folder.path().string()));
    const int nameLength =
        longest + row.overBy - static_cast<int>(std::strlen(saveExtension(static_cast<SaveFormat>(row.format))));
    typeName(*dialog, QString(nameLength, QLatin1Char('n')));
    pressSave(*dialog);
    EXPECT_EQ(dialog->result() == QDialog::Accepted, row.accepted) << nameLength;
    EXPECT_EQ(m_boxes.titles().contains(QString::fromLatin1(kInvalidNameCaption)), !row.accepted);
    if (row.accepted) {
        EXPECT_EQ(dialog->choices().name, std::string(nameLength, 'n'));
    } else {
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(std::memcmp(&before, &m_settings, sizeof before), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, SaveDialogNameLength,
                         ::testing::Values(LengthCase{0, 0, true}, LengthCase{2, 0, true}, LengthCase{1, -1, true},
                                           LengthCase{0, 1, false}, LengthCase{2, 1, false}, LengthCase{0, 9, false},
                                           LengthCase{3, 0, true}, LengthCase{3, 1, false}),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

// A file of the same name in the archive is replaced only when the user says so; No goes back to
// the dialog with the name kept.
TEST_F(SaveDialogTest, AnExistingFileIsReplacedOnlyOnYes)
{
    testing::writeFile(m_folder.path() / "take.mp3", "old");
    bool answerYes = false;
    m_boxes.onTitle(QStringLiteral("Save Audio"), [&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        box->button(answerYes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    auto dialog = open(5000);
    typeName(*dialog, QStringLiteral("take"));
    pressSave(*dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(control<QLineEdit>(*dialog, ids::kSaveNameField)->text(), QStringLiteral("take"));
    answerYes = true;
    pressSave(*dialog);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(m_boxes.titles().count(QStringLiteral("Save Audio")), 2);
}

}
}
