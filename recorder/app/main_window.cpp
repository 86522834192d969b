// The main window: its controls, initialisation, timer and painting.

#include "app/main_window.h"

#include "app/main_menu.h"
#include "app/program_state.h"

#include "session/take_session.h"

#include "archive/archive_list.h"

#include "core/identifiers.h"
#include "core/toolkit_binding.h"

#include "widgets/dialog_units.h"
#include "widgets/large_button.h"
#include "widgets/level_meters.h"
#include "widgets/skin.h"
#include "widgets/waveform_view.h"

#include "sorvak_widgets.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace wavelark {

const QSize MainWindow::kClientSize(dialogX(531), dialogY(268));

namespace {

inline constexpr char kWebAddress[] = "www.wavelark.example";

// The selection's exact times: over the zoom buttons, from the view's left edge to the large buttons.
const QRect kSelectionTimesRect = QRect(dialogX(15), dialogY(35), dialogX(131), dialogY(9));
// The zoomed view's scroll bar: under the view's frame, above the archive label.
const QRect kScrollBarRect = QRect(dialogX(15), dialogY(56) + dialogY(71) + 1, dialogX(370), 8);

// A recessed groove and a brushed-metal fader knob, in the colours of the meter panel.
inline constexpr char kSliderStyle[] =
    "QSlider::groove:vertical { width: 6px; border: 1px solid #262c36; border-radius: 3px;"
    " background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #2f3642, stop:1 #5b6575); }"
    "QSlider::handle:vertical { height: 12px; margin: 0 -11px; border: 1px solid #4d5563; border-radius: 3px;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:0.45 #dde2ea, stop:0.55 #c3cad6,"
    " stop:1 #eef1f5); }"
    "QSlider::handle:vertical:hover { border-color: #1260a0; }";

QLabel* addLabel(QWidget* parent, const QString& text, int id, QRect geometry)
{
    auto* label = placeControl(new QLabel(text, parent), id, geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton* addButton(QWidget* parent, const QString& text, int id, QRect geometry)
{
    auto* button = placeControl(new QPushButton(text, parent), id, geometry);
    button->setAutoDefault(false);
    return button;
}

}

ClientArea::ClientArea(const Skin& skin, QWidget* parent)
    : QWidget(parent)
    , m_skin(skin)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ClientArea::setViewRect(const QRect& rect)
{
    m_viewRect = rect;
    m_viewPicture = QImage(rect.size(), QImage::Format_RGB32);
    m_viewPicture.fill(Qt::white);
    // An empty take: the centre line alone.
    QPainter painter(&m_viewPicture);
    painter.setPen(m_skin.navyPen);
    painter.drawLine(0, rect.height() / 2, rect.width() - 1, rect.height() / 2);
}

void ClientArea::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), m_skin.backgroundBrush);
    if (!m_viewPicture.isNull() && event->rect().intersects(m_viewRect)) {
        painter.drawImage(m_viewRect.topLeft(), m_viewPicture);
        painter.setPen(m_skin.greyPen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(m_viewRect.adjusted(-1, -1, 0, 0));
    }
    m_meters.paint(painter, m_skin, meterLevels());
    painter.end();
    if (m_firstPaintHandler) {
        auto handler = std::move(m_firstPaintHandler);
        m_firstPaintHandler = nullptr;
        handler();
    }
}

MeterLevels ClientArea::meterLevels() const
{
    // Until capture exists the meters stand full, as they fall into place when it starts.
    if (!m_levels)
        return {};
    return {m_levels->left(), m_levels->right(), m_levels->clippedLeft(), m_levels->clippedRight()};
}

void ClientArea::mousePressEvent(QMouseEvent* event)
{
    if (m_meters.click(event->position().toPoint(), meterLevels()))
        update(kMeterArea);
    QWidget::mousePressEvent(event);
}

MainWindow::MainWindow(ProgramState& state, const Skin& skin)
    : m_state(state)
    , m_skin(skin)
{
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(skin.smallFont);
    m_client = new ClientArea(skin, this);
    m_client->setFixedSize(kClientSize);
    setCentralWidget(m_client);
    createControls();
    initialise();
    setUpKeyboard();
}

MainWindow::~MainWindow()
{
    // Capture and the player stop before the controls they report to go.
    m_client->setLevels(nullptr);
    m_session.reset();
}

void MainWindow::createControls()
{
    QWidget* client = m_client;
    const struct {
        const char* caption;
        int id;
        QRect geometry;
        LargeButton which;
        QColor tint;
    } largeButtons[] = {
        {"Record", ids::kRecordButton, dialogRect(149, 25, 58, 26), LargeButton::Record, QColor(255, 248, 248)},
        {"Play", ids::kPlayButton, dialogRect(209, 25, 58, 26), LargeButton::Play, QColor(248, 255, 248)},
        {"Import", ids::kImportButton, dialogRect(269, 25, 58, 26), LargeButton::Import, QColor(255, 255, 248)},
        {"Save", ids::kSaveButton, dialogRect(328, 25, 58, 26), LargeButton::Save, QColor(248, 248, 255)},
    };
    for (const auto& large : largeButtons) {
        auto* button = placeControl(new LargeButtonWidget(QString::fromLatin1(large.caption), m_skin, large.which,
                                                          large.tint, client),
                                    large.id, large.geometry);
        connect(button, &QPushButton::clicked, this, [this, id = large.id] { command(id); });
    }

    const struct {
        const char* caption;
        int id;
        QRect geometry;
    } smallButtons[] = {
        {"Folder ...", ids::kFolderButton, dialogRect(15, 227, 53, 15)},
        {"Explore", ids::kExploreButton, dialogRect(73, 227, 53, 15)},
        {"Delete", ids::kDeleteButton, dialogRect(131, 227, 53, 15)},
    };
    for (const auto& small : smallButtons) {
        QPushButton* button = addButton(client, QString::fromLatin1(small.caption), small.id, small.geometry);
        connect(button, &QPushButton::clicked, this, [this, id = small.id] { command(id); });
    }

    // The waveform view's zoom: out, in, the whole take, the selection, to the start, to the end.
    const struct {
        const char* caption;
        int id;
    } zoomButtons[] = {{"-", ids::kZoomOutButton}, {"+", ids::kZoomInButton}, {"All", ids::kAllButton},
                       {"Sel", ids::kSelectionButton}, {"|--", ids::kStartButton}, {"--|", ids::kEndButton}};
    int zoomX = 15;
    for (const auto& zoom : zoomButtons) {
        QPushButton* button = addButton(client, QString::fromLatin1(zoom.caption), zoom.id, dialogRect(zoomX, 44, 20, 10));
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, this, [this, id = zoom.id] { command(id); });
        zoomX += 22;
    }
    // The selection's exact times over the zoom buttons, left of the large buttons.
    m_selectionTimes = addLabel(client, QString(), 0, kSelectionTimesRect);
    // The scroll bar of the zoomed view, in the gap between the view's frame and the archive label.
    m_scrollBar = new QScrollBar(Qt::Horizontal, client);
    m_scrollBar->setGeometry(kScrollBarRect);
    m_scrollBar->hide();

    addLabel(client, QString(), ids::kViewFrame, dialogRect(15, 56, 370, 71))->hide();
    addLabel(client, QString(), ids::kArchiveFrame, dialogRect(15, 143, 371, 80))->hide();
    addLabel(client, QStringLiteral("Archive :"), ids::kArchiveLabel, dialogRect(15, 132, 41, 10));
    addLabel(client, QString(), ids::kArchiveFolderText, dialogRect(57, 132, 329, 10));
    addLabel(client, QString(), ids::kStatusLine, dialogRect(153, 9, 229, 9));
    addLabel(client, QString::fromLatin1(kWebAddress), ids::kWebAddress, dialogRect(11, 19, 124, 9));
    addLabel(client, QStringLiteral("Rec"), 0, dialogRect(453, 5, 23, 9))->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    addLabel(client, QStringLiteral("Play"), 0, dialogRect(485, 5, 23, 9))->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    auto* progress = placeControl(new QProgressBar(client), ids::kProgressBar, dialogRect(0, 248, 531, 8));
    progress->setRange(0, 100);
    progress->setValue(0);
    progress->setTextVisible(false);

    for (const auto& [id, x] : {std::pair{ids::kRecordSlider, 451}, std::pair{ids::kPlaySlider, 483}}) {
        auto* slider = placeControl(new QSlider(Qt::Vertical, client), id, dialogRect(x, 29, 28, 183));
        slider->setRange(0, 100);
        // Position 0 is at the top: full volume.
        slider->setInvertedAppearance(true);
        slider->setInvertedControls(true);
        slider->setPageStep(10);
        slider->setStyleSheet(QString::fromLatin1(kSliderStyle));
        connect(slider, &QSlider::valueChanged, this, [this, id = id](int position) {
            (id == ids::kRecordSlider ? m_state.settings.recordSlider : m_state.settings.playSlider) = position;
            updateGains();
        });
    }
    for (const auto& [id, x] : {std::pair{ids::kRecordGainLabel, 451}, std::pair{ids::kPlayGainLabel, 483}})
        addLabel(client, QString(), id, dialogRect(x, 213, 28, 11))->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    auto* playEnabled = placeControl(new QCheckBox(client), ids::kPlayEnabledBox, dialogRect(493, 17, 10, 8));
    auto* recordEnabled = placeControl(new QCheckBox(client), ids::kRecordEnabledBox, dialogRect(461, 17, 10, 8));
    auto* monitor = placeControl(new QCheckBox(QStringLiteral("Monitor - Thru"), client), ids::kMonitorThruBox,
                                 dialogRect(451, 231, 60, 9));
    // This face is wider than the template's: the caption gets the room it needs.
    monitor->resize(std::max(monitor->width(), monitor->sizeHint().width()), monitor->height());
    playEnabled->setToolTip(QStringLiteral("Play enabled"));
    recordEnabled->setToolTip(QStringLiteral("Record enabled"));
    // Each click flips the stored value.
    connect(playEnabled, &QCheckBox::clicked, this, [this] {
        m_state.settings.playEnabled = !m_state.settings.playEnabled;
        m_session->setPlayEnabled(m_state.settings.playEnabled != 0);
    });
    connect(recordEnabled, &QCheckBox::clicked, this, [this] {
        m_state.settings.recordEnabled = !m_state.settings.recordEnabled;
        m_session->setRecordEnabled(m_state.settings.recordEnabled != 0);
    });
    connect(monitor, &QCheckBox::clicked, this, [this](bool checked) {
        m_state.settings.monitorThru = checked ? 1 : 0;
        m_session->setMonitorThru(checked);
    });

    m_archiveList = new ArchiveList(m_skin.smallFont, dialogRect(15, 143, 371, 80), client);
}

void MainWindow::initialise()
{
    m_hasTake = QFileInfo::exists(m_state.paths.take());
    static_cast<QLabel*>(sorvak::findControl(this, ids::kArchiveFolderText))
        ->setText(QStringLiteral(" ") + QString::fromUtf8(m_state.settings.archiveFolder));
    setWindowIcon(m_skin.programIcon);
    g_toolkit.SetFonts10(this, ids::kFolderButton, ids::kExploreButton, ids::kDeleteButton, ids::kZoomOutButton,
                         ids::kZoomInButton, ids::kAllButton, ids::kSelectionButton, ids::kArchiveFolderText,
                         ids::kArchiveLabel, ids::kWebAddress, const_cast<QFont*>(&m_skin.smallFont));

    m_client->setViewRect(sorvak::findControl(this, ids::kViewFrame)->geometry());
    if (!m_hasTake) {
        m_state.settings.selectionStart = 0;
        m_state.settings.selectionEnd = 0;
    }

    connect(&m_timer, &QTimer::timeout, this, &MainWindow::onTimer);
    m_timer.start(30);

    m_session = std::make_unique<TakeSession>(m_state.settings, m_state.paths, *this);
    m_client->setLevels(&m_session->levels());
    m_client->meters().setScale(m_session->choices().meterScale);
    QWidget* frame = sorvak::findControl(this, ids::kViewFrame);
    m_view = new WaveformView(*m_session, frame->geometry(), frame->parentWidget());
    m_view->setEdgeCursor(m_skin.edgeCursor);
    m_view->setCaptionFont(m_skin.largeFont);
    m_view->setZoomHandler([this] { showZoom(); });
    m_view->setSelectionTimesHandler([this](const QString& text) { m_selectionTimes->setText(text); });
    connect(m_scrollBar, &QScrollBar::valueChanged, this, [this](int position) { m_view->setScrollPosition(position); });
    m_view->show();
    m_session->setPicture(*m_view);

    // The sliders, their labels and the three checkboxes from the Settings record.
    updateGains();
    for (const auto& [id, position] : {std::pair{ids::kRecordSlider, m_state.settings.recordSlider},
                                       std::pair{ids::kPlaySlider, m_state.settings.playSlider}}) {
        auto* slider = static_cast<QSlider*>(sorvak::findControl(this, id));
        const QSignalBlocker quiet(slider);
        slider->setValue(position);
    }
    static_cast<QCheckBox*>(sorvak::findControl(this, ids::kMonitorThruBox))->setChecked(m_state.settings.monitorThru != 0);
    static_cast<QCheckBox*>(sorvak::findControl(this, ids::kRecordEnabledBox))->setChecked(m_state.settings.recordEnabled != 0);
    static_cast<QCheckBox*>(sorvak::findControl(this, ids::kPlayEnabledBox))->setChecked(m_state.settings.playEnabled != 0);

    // The take drawn from the peak cache, capture and the player started, and the take's
    // duration on the status line.
    m_session->initialise();

    m_archiveList->refresh(QString::fromUtf8(m_state.settings.archiveFolder));

    setWindowTitle(QStringLiteral("Wavelark 2.0"));
    sorvak::findControl(this, ids::kRecordButton)->setFocus();
}

void MainWindow::showZoom()
{
    const ZoomWindow& zoom = m_view->zoom();
    const QSignalBlocker quiet(m_scrollBar);
    m_scrollBar->setRange(0, zoom.scrollRange());
    m_scrollBar->setPageStep(zoom.pageStep());
    m_scrollBar->setSingleStep(zoom.singleStep());
    m_scrollBar->setValue(zoom.scrollPosition());
    m_scrollBar->setVisible(!zoom.whole());
}

void MainWindow::attachMenu()
{
    if (!m_menu)
        m_menu = new MainMenu(menuBar(), [this](int commandId) { command(commandId); }, this);
    if (m_session)
        m_menu->updateChoiceMarks(m_session->choices());
    // The session may have set its enable states before the menu existed.
    m_menu->followButtons({sorvak::findControl(this, ids::kRecordButton), sorvak::findControl(this, ids::kPlayButton),
                           sorvak::findControl(this, ids::kSaveButton), sorvak::findControl(this, ids::kImportButton)});
    if (QAction* findTracks = m_menu->action(ids::kFindTracks))
        findTracks->setEnabled(m_session && controlStates(m_session->phase(), m_session->hasTake()).findTracks);
    setFixedSize(sizeHint());
}

void MainWindow::updateGains()
{
    const double recordGain = 1.0 - m_state.settings.recordSlider * 0.01;
    const double playGain = 1.0 - m_state.settings.playSlider * 0.01;
    m_session->setGains(recordGain, playGain);
    const struct {
        int label;
        int slider;
        double gain;
    } gains[] = {{ids::kRecordGainLabel, ids::kRecordSlider, recordGain}, {ids::kPlayGainLabel, ids::kPlaySlider, playGain}};
    for (const auto& [label, slider, gain] : gains) {
        const QString text = QString::fromUtf8(g_toolkit.strcatmany("x ", g_toolkit.fp2sz(gain, 2), nullptr, nullptr, nullptr));
        static_cast<QLabel*>(sorvak::findControl(this, label))->setText(text);
        // A screen reader says the gain beside the slider's position.
        sorvak::findControl(this, slider)->setAccessibleDescription(QStringLiteral("Gain ") + text);
    }
}

void MainWindow::onTimer()
{
    if (m_session)
        m_session->timerTick(m_ticks);
    m_client->update(kMeterArea);
    ++m_ticks;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (m_closed)
        return;
    m_closed = true;
    m_timer.stop();
    // Capture stops here; a recording still running is kept as a finished take.
    if (m_session)
        m_session->close();
    if (m_closedHandler)
        m_closedHandler();
}

}
