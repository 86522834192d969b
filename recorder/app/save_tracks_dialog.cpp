#include "app/save_tracks_dialog.h"

#include "tracks/track_names.h"

#include "widgets/skin.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace wavelark {

namespace {

// A short fade at a cut: long enough to hide a click, short enough to keep the music.
constexpr int kDefaultFadeMilliseconds = 30;
constexpr int kLongestFadeMilliseconds = 2000;

}

QStringList saveFormatNames()
{
    // The save's conversion names every format it knows by its own extension and falls back to
    // ".wav" past the last one: the first name seen twice ends the list.
    QStringList names;
    for (int format = 0;; ++format) {
        const QString name = QString::fromLatin1(saveExtension(static_cast<SaveFormat>(format))).mid(1).toUpper();
        if (names.contains(name))
            return names;
        names << name;
    }
}

SaveTracksDialog::SaveTracksDialog(const Settings& settings, const TrackMarkers& markers, const Skin* skin,
                                   QWidget* owner)
    : QDialog(owner)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);
    if (skin)
        setFont(skin->smallFont);
    setWindowTitle(QString::fromLatin1(kSaveTracksTitle));

    auto* form = new QFormLayout;
    m_album = new QLineEdit(this);
    m_artist = new QLineEdit(this);
    m_year = new QLineEdit(this);
    m_year->setMaxLength(10);
    form->addRow(QStringLiteral("Album : "), m_album);
    form->addRow(QStringLiteral("Artist : "), m_artist);
    form->addRow(QStringLiteral("Year : "), m_year);

    const int total = static_cast<int>(markers.size());
    m_titles = new QTableWidget(total, 1, this);
    m_titles->setHorizontalHeaderLabels({QStringLiteral("Title")});
    m_titles->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < total; ++row) {
        const std::string& given = markers.markers()[static_cast<std::size_t>(row)].title;
        const std::string title = given.empty() ? defaultTrackTitle(row + 1, total) : given;
        m_titles->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(title)));
    }

    m_format = new QComboBox(this);
    m_format->addItems(saveFormatNames());
    m_quality = new QComboBox(this);
    m_quality->addItems({QStringLiteral("HIGH"), QStringLiteral("MEDIUM"), QStringLiteral("LOW")});
    auto* formats = new QHBoxLayout;
    formats->addWidget(m_format);
    formats->addWidget(m_quality);
    form->addRow(QStringLiteral("Save As : "), formats);

    m_fades = new QCheckBox(QStringLiteral("Fade at each cut"), this);
    m_fadeLength = new QSpinBox(this);
    m_fadeLength->setRange(1, kLongestFadeMilliseconds);
    m_fadeLength->setSuffix(QStringLiteral(" ms"));
    m_fadeLength->setValue(kDefaultFadeMilliseconds);
    m_fadeLength->setEnabled(false);
    auto* fades = new QHBoxLayout;
    fades->addWidget(m_fades);
    fades->addWidget(m_fadeLength);
    form->addRow(QString(), fades);
    connect(m_fades, &QCheckBox::toggled, m_fadeLength, &QWidget::setEnabled);

    m_maximise = new QCheckBox(QStringLiteral("Maximise the side to"), this);
    m_ceiling = new QComboBox(this);
    m_ceiling->addItems({QStringLiteral("0 dBFS"), QStringLiteral("-1 dBFS")});
    m_ceiling->setEnabled(false);
    auto* maximise = new QHBoxLayout;
    maximise->addWidget(m_maximise);
    maximise->addWidget(m_ceiling);
    form->addRow(QString(), maximise);
    connect(m_maximise, &QCheckBox::toggled, m_ceiling, &QWidget::setEnabled);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* saveButton = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { save(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_titles, 1);
    layout->addWidget(buttons);
    resize(440, 250 + 30 * std::min(total, 12));

    connect(m_format, &QComboBox::currentIndexChanged, this, [this](int index) { formatChosen(index); });
    m_format->setCurrentIndex(std::clamp(settings.saveFormat, 0, static_cast<int>(m_format->count()) - 1));
    m_quality->setCurrentIndex(std::clamp(settings.saveQuality, 0, 2));
    formatChosen(m_format->currentIndex());
}

void SaveTracksDialog::formatChosen(int index)
{
    // WMA has one quality, as in "Save Audio": its setting is always HIGH.
    const bool wma = static_cast<SaveFormat>(index) == SaveFormat::Wma;
    if (wma)
        m_quality->setCurrentIndex(0);
    m_quality->setEnabled(!wma);
}

void SaveTracksDialog::save()
{
    TrackBatchChoices choices;
    choices.tags.album = m_album->text().trimmed().toStdString();
    choices.tags.artist = m_artist->text().trimmed().toStdString();
    choices.tags.year = m_year->text().trimmed().toStdString();
    for (int row = 0; row < m_titles->rowCount(); ++row) {
        const QTableWidgetItem* item = m_titles->item(row, 0);
        choices.titles.push_back(item ? item->text().trimmed().toStdString() : std::string());
    }
    choices.format = static_cast<SaveFormat>(m_format->currentIndex());
    choices.quality = static_cast<SaveQuality>(m_quality->currentIndex());
    choices.fadesOn = m_fades->isChecked();
    choices.fadeMilliseconds = static_cast<uint32_t>(m_fadeLength->value());
    choices.maximiseOn = m_maximise->isChecked();
    choices.ceiling = static_cast<PeakCeiling>(m_ceiling->currentIndex());
    m_choices = std::move(choices);
    accept();
}

}
