// The "Save Audio" dialog.

#include "app/save_dialog.h"

#include "take/save_pass.h"

#include "core/identifiers.h"
#include "core/toolkit_binding.h"

#include "widgets/dialog_units.h"
#include "widgets/skin.h"

#include "sorvak_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace wavelark {

namespace {

constexpr double kLongestFadeSeconds = kLongestFade / 1000.0;

// The two arrows of a fade field, placed at the right edge of the field, which gives up their
// width. They only report steps: the dialog writes the field.
class UpDown : public QWidget {
public:
    UpDown(QLineEdit* buddy, std::function<void(bool up)> step, QWidget* parent)
        : QWidget(parent)
    {
        const QRect field = buddy->geometry();
        const int width = dialogX(10);
        buddy->setGeometry(field.adjusted(0, 0, -width, 0));
        setGeometry(field.right() - width + 1, field.top(), width, field.height());
        const int half = field.height() / 2;
        for (const bool up : {true, false}) {
            auto* arrow = new QToolButton(this);
            arrow->setArrowType(up ? Qt::UpArrow : Qt::DownArrow);
            arrow->setAutoRepeat(true);
            arrow->setFocusPolicy(Qt::NoFocus);
            arrow->setGeometry(0, up ? 0 : half, width, up ? half : field.height() - half);
            connect(arrow, &QToolButton::clicked, this, [step, up] { step(up); });
        }
    }
};

// This face is wider than the template's: a text that does not fit grows away from the edge it
// is aligned to (right-aligned texts and boxes with the text on the left grow to the left).
void fitLeftward(QWidget* widget)
{
    QRect geometry = widget->geometry();
    const int needed = widget->sizeHint().width();
    if (needed > geometry.width())
        geometry.setLeft(geometry.right() - needed + 1);
    widget->setGeometry(geometry);
}

QLabel* addLabel(QWidget* parent, const char* text, QRect geometry, Qt::Alignment alignment)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setGeometry(geometry);
    label->setAlignment(alignment | Qt::AlignVCenter);
    if (alignment & Qt::AlignRight)
        fitLeftward(label);
    return label;
}

QString twoDecimals(double value)
{
    return QString::fromUtf8(g_toolkit.fp2sz(value, 2));
}

double fieldValue(const QLineEdit* field)
{
    return std::atof(field->text().toLatin1().constData());
}

}

bool validSaveName(const QByteArray& name)
{
    if (name.isEmpty())
        return false;
    return std::all_of(name.begin(), name.end(), [](char character) {
        return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z')
               || (character >= '0' && character <= '9') || character == ' ' || character == '-' || character == '_';
    });
}

SaveDialog::SaveDialog(Settings& settings, uint32_t rangeBytes, const Skin& skin, QWidget* owner)
    : QDialog(owner)
    , m_settings(settings)
    , m_selectionMilliseconds(rangeBytes / 4.0 / 44100.0 * 1000.0)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFont(skin.smallFont);
    setFixedSize(dialogX(210), dialogY(153));
    createControls();

    m_fadeStart->setChecked(settings.fadeStartOn != 0);
    m_fadeEnd->setChecked(settings.fadeEndOn != 0);
    m_maximise->setChecked(settings.maximizeOn != 0);
    m_fadeIn->setEnabled(m_fadeStart->isChecked());
    m_fadeOut->setEnabled(m_fadeEnd->isChecked());
    g_toolkit.AddComboStrings(this, ids::kSaveFormatCombo, "MP3\0WMA\0WAV\0FLAC\0", 1, 100, 0);
    g_toolkit.AddComboStrings(this, ids::kSaveQualityCombo, "HIGH\0MEDIUM\0LOW\0", 1, 100, 0);

    // Fades that together outlast the selection are shown as none; the record keeps its values
    // until Save.
    const bool fadesFit = static_cast<double>(settings.fadeStartLength) + settings.fadeEndLength
                          <= m_selectionMilliseconds;
    m_fadeIn->setText(twoDecimals(fadesFit ? settings.fadeStartLength * 0.001 : 0.0));
    m_fadeOut->setText(twoDecimals(fadesFit ? settings.fadeEndLength * 0.001 : 0.0));

    setWindowTitle(QStringLiteral("SAVE AUDIO - LENGTH: ")
                   + QString::fromUtf8(g_toolkit.nanosec2time(static_cast<int64_t>(m_selectionMilliseconds * 10000))));

    m_format = std::clamp(settings.saveFormat, 0, 3);
    m_quality = std::clamp(settings.saveQuality, 0, 2);
    m_formatCombo->setCurrentIndex(m_format);
    m_qualityCombo->setCurrentIndex(m_quality);
    formatChosen(m_format);
    connect(m_formatCombo, &QComboBox::currentIndexChanged, this, [this](int index) { formatChosen(index); });
    connect(m_qualityCombo, &QComboBox::currentIndexChanged, this, [this](int index) { m_quality = index; });
    m_nameField->setFocus();
}

void SaveDialog::createControls()
{
    addLabel(this, "Name : ", dialogRect(10, 6, 34, 9), Qt::AlignRight);
    m_nameField = placeControl(new QLineEdit(this), ids::kSaveNameField, dialogRect(46, 5, 151, 12));
    addLabel(this, "Save As : ", dialogRect(10, 25, 34, 9), Qt::AlignRight);
    m_formatCombo = placeControl(new QComboBox(this), ids::kSaveFormatCombo, dialogRect(46, 23, 39, 12));
    addLabel(this, "Quality : ", dialogRect(120, 25, 28, 9), Qt::AlignRight);
    m_qualityCombo = placeControl(new QComboBox(this), ids::kSaveQualityCombo, dialogRect(150, 23, 48, 12));
    m_qualityCombo->setEnabled(false);
    m_qualityCombo->setToolTip(QString::fromLatin1(kQualityToolTip));

    auto* fade = new QGroupBox(QStringLiteral("Fade"), this);
    fade->setGeometry(dialogRect(11, 45, 186, 57));
    fade->lower();

    const struct {
        const char* caption;
        int boxId;
        int fieldId;
        int spinnerId;
        int y;
        QCheckBox** box;
        QLineEdit** field;
    } fades[] = {
        {"Fade Start", ids::kSaveFadeStartBox, ids::kSaveFadeInField, ids::kSaveFadeInSpinner, 60, &m_fadeStart, &m_fadeIn},
        {"Fade End", ids::kSaveFadeEndBox, ids::kSaveFadeOutField, ids::kSaveFadeOutSpinner, 78, &m_fadeEnd, &m_fadeOut},
    };
    for (const auto& row : fades) {
        auto* box = placeControl(new QCheckBox(QString::fromLatin1(row.caption), this), row.boxId, dialogRect(23, row.y + 2, 58, 9));
        box->setLayoutDirection(Qt::RightToLeft);
        fitLeftward(box);
        auto* field = placeControl(new QLineEdit(this), row.fieldId, dialogRect(96, row.y, 36, 12));
        field->setAlignment(Qt::AlignCenter);
        field->setEnabled(false);
        field->installEventFilter(this);
        auto* spinner = new UpDown(field, [this, id = row.fieldId](bool up) { stepFade(id, up); }, this);
        sorvak::setControlId(spinner, row.spinnerId);
        spinner->setEnabled(false);
        connect(box, &QCheckBox::toggled, this, [field, spinner](bool checked) {
            field->setEnabled(checked);
            spinner->setEnabled(checked);
        });
        addLabel(this, "Seconds", dialogRect(136, row.y + 2, 50, 9), Qt::AlignLeft);
        *row.box = box;
        *row.field = field;
    }
    m_maximise = placeControl(new QCheckBox(QStringLiteral("Maximize Vol"), this), ids::kSaveMaximiseBox, dialogRect(23, 133, 58, 9));
    m_maximise->setLayoutDirection(Qt::RightToLeft);
    fitLeftward(m_maximise);

    auto* cancel = placeControl(new QPushButton(QStringLiteral("Cancel"), this), ids::kSaveCancelButton, dialogRect(120, 131, 36, 15));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* saveButton = placeControl(new QPushButton(QStringLiteral("Save"), this), ids::kSaveButton, dialogRect(161, 131, 36, 15));
    saveButton->setDefault(true);
    connect(saveButton, &QPushButton::clicked, this, [this] { save(); });
}

void SaveDialog::formatChosen(int index)
{
    m_format = index;
    // WMA has one quality: its setting is always HIGH.
    if (index == 1) {
        m_qualityCombo->setCurrentIndex(0);
        m_quality = 0;
    }
    m_qualityCombo->setEnabled(index != 1);
}

QString SaveDialog::extension() const
{
    return QString::fromLatin1(saveExtension(static_cast<SaveFormat>(m_format)));
}

QLineEdit* SaveDialog::fadeField(int fieldId) const
{
    return fieldId == ids::kSaveFadeInField ? m_fadeIn : m_fadeOut;
}

void SaveDialog::stepFade(int fieldId, bool up)
{
    QLineEdit* field = fadeField(fieldId);
    double value = fieldValue(field);
    if (up) {
        // The fade-in never grows past the selection; the fade-out only stops at ten seconds.
        if (fieldId != ids::kSaveFadeInField || value * 1000.0 < m_selectionMilliseconds)
            value += 0.01;
    } else {
        value -= 0.01;
    }
    field->setText(twoDecimals(std::clamp(value, 0.0, kLongestFadeSeconds)));
}

void SaveDialog::fadeFieldLeft(QLineEdit* field)
{
    if ((fieldValue(m_fadeIn) + fieldValue(m_fadeOut)) * 1000.0 > m_selectionMilliseconds) {
        m_fadeIn->setText(twoDecimals(0.0));
        m_fadeOut->setText(twoDecimals(0.0));
        return;
    }
    field->setText(twoDecimals(std::clamp(fieldValue(field), 0.0, kLongestFadeSeconds)));
}

bool SaveDialog::eventFilter(QObject* watched, QEvent* event)
{
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field && (field == m_fadeIn || field == m_fadeOut)) {
        if (event->type() == QEvent::FocusOut) {
            fadeFieldLeft(field);
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down) {
                stepFade(sorvak::controlId(field), key == Qt::Key_Up);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SaveDialog::save()
{
    const QByteArray name(g_toolkit.wmGetText(this, ids::kSaveNameField));
    if (!validSaveName(name)) {
        QMessageBox::warning(this, QString::fromLatin1(kInvalidNameCaption), QString::fromLatin1(kInvalidNameText));
        m_nameField->setFocus();
        return;
    }
    // The side file of the save always fits beside a file name that fits (take/save_conversion.h).
    const std::size_t longest = longestFileName(QFile::encodeName(QString::fromUtf8(m_settings.archiveFolder)).toStdString());
    const std::size_t extensionBytes = std::strlen(saveExtension(static_cast<SaveFormat>(m_format)));
    if (static_cast<std::size_t>(name.size()) + extensionBytes > longest) {
        QMessageBox::warning(this, QString::fromLatin1(kInvalidNameCaption),
                             QString::fromLatin1(kNameTooLongText).arg(longest - std::min(longest, extensionBytes)));
        m_nameField->setFocus();
        return;
    }
    // Fields still being typed in count as left.
    if (QLineEdit* focused = qobject_cast<QLineEdit*>(focusWidget()); focused == m_fadeIn || focused == m_fadeOut)
        fadeFieldLeft(focused);
    const QString destination = QString::fromUtf8(m_settings.archiveFolder) + QString::fromLatin1(name) + extension();
    if (QFileInfo::exists(destination)
        && QMessageBox::question(this, QStringLiteral("Save Audio"),
                                 QStringLiteral("%1 is already in the archive folder.\n\nReplace it?")
                                     .arg(QString::fromLatin1(name) + extension()),
                                 QMessageBox::Yes | QMessageBox::No)
               != QMessageBox::Yes) {
        m_nameField->setFocus();
        return;
    }
    m_choices.name = name.toStdString();
    m_choices.format = static_cast<SaveFormat>(m_format);
    m_choices.quality = static_cast<SaveQuality>(m_quality);
    m_choices.fades = FadeSettings{m_fadeStart->isChecked(), static_cast<uint32_t>(fieldValue(m_fadeIn) * 1000.0),
                                   m_fadeEnd->isChecked(), static_cast<uint32_t>(fieldValue(m_fadeOut) * 1000.0),
                                   m_maximise->isChecked()};
    // Stored so that the next save starts from them.
    m_settings.fadeStartOn = m_choices.fades.fadeInOn ? 1 : 0;
    m_settings.fadeEndOn = m_choices.fades.fadeOutOn ? 1 : 0;
    m_settings.maximizeOn = m_choices.fades.maximiseOn ? 1 : 0;
    m_settings.fadeStartLength = m_choices.fades.fadeInMilliseconds;
    m_settings.fadeEndLength = m_choices.fades.fadeOutMilliseconds;
    m_settings.saveFormat = m_format;
    m_settings.saveQuality = m_quality;
    accept();
}

}
