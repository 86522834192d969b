// The welcome dialog.

#include "app/welcome_dialog.h"

#include "core/identifiers.h"
#include "app/program_state.h"
#include "widgets/skin.h"
#include "app/user_guide.h"

#include "sorvak_widgets.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace wavelark {

WelcomeDialog::WelcomeDialog(ProgramState& state, const Skin& skin, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
{
    setWindowTitle(QStringLiteral("Wavelark 2.0 - Welcome!"));
    setWindowIcon(skin.programIcon);
    setFont(skin.smallFont);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 12);
    layout->setSpacing(10);

    auto* header = new QLabel(this);
    header->setPixmap(QPixmap::fromImage(skin.welcomeHeader));
    header->setFixedSize(skin.welcomeHeader.size());
    layout->addWidget(header);

    auto* group = new QGroupBox(QStringLiteral("Welcome to Wavelark 2.0"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->setSpacing(10);
    for (const char* text :
         {"If you intend to use Wavelark to record external audio devices such as Hi-Fi's, Record/Cassette "
          "Players, Radios, Video Recorders, TV's etc... you will need to use Audio Leads to connect your "
          "Computer to them.",
          "If you do NOT already have any Audio Leads to connect your Computer to your external audio devices, "
          "please click the 'HELP' button below for more help."}) {
        auto* label = new QLabel(QString::fromLatin1(text), group);
        label->setWordWrap(true);
        groupLayout->addWidget(label);
    }
    auto* groupRow = new QHBoxLayout;
    groupRow->setContentsMargins(12, 0, 12, 0);
    groupRow->addWidget(group);
    layout->addLayout(groupRow);

    m_dontShow = new QCheckBox(QStringLiteral("Don't Show Me This Again"), this);
    sorvak::setControlId(m_dontShow, ids::kWelcomeDontShow);
    auto* help = new QPushButton(QStringLiteral("HELP"), this);
    sorvak::setControlId(help, ids::kWelcomeHelp);
    help->setAutoDefault(false);
    auto* start = new QPushButton(QStringLiteral("Start >>"), this);
    sorvak::setControlId(start, ids::kWelcomeStart);
    start->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(12, 0, 12, 0);
    buttons->addWidget(m_dontShow);
    buttons->addStretch();
    buttons->addWidget(help);
    buttons->addWidget(start);
    layout->addLayout(buttons);

    connect(help, &QPushButton::clicked, this, [this] { openUserGuide(this, m_state.paths.folder, QStringLiteral("audio-leads")); });
    connect(start, &QPushButton::clicked, this, &QDialog::accept);

    setFixedWidth(skin.welcomeHeader.width());
    setFixedHeight(sizeHint().height());
}

void WelcomeDialog::done(int result)
{
    m_state.settings.showWelcome = m_dontShow->isChecked() ? 0 : 1;
    QDialog::done(result);
}

}
