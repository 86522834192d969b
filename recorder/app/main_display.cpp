// The main window as the take's session's display: its status line, progress bar, buttons,
// message boxes, enable states and archive list.

#include "app/main_window.h"

#include "archive/archive_list.h"

#include "core/identifiers.h"
#include "core/settings.h"
#include "core/toolkit_binding.h"
#include "app/main_menu.h"
#include "app/program_state.h"

#include "session/take_session.h"

#include "sorvak_widgets.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>

#include <algorithm>
#include <array>
#include <utility>

namespace wavelark {

void MainWindow::setStatusText(const QString& text)
{
    if (auto* status = static_cast<QLabel*>(sorvak::findControl(this, ids::kStatusLine)))
        status->setText(text);
}

void MainWindow::setProgress(int percent)
{
    if (auto* progress = static_cast<QProgressBar*>(sorvak::findControl(this, ids::kProgressBar)))
        progress->setValue(percent);
}

void MainWindow::showHealth(const HealthDisplay& display)
{
    auto* bar = static_cast<QProgressBar*>(sorvak::findControl(this, ids::kProgressBar));
    if (!bar)
        return;
    // The bar is a few pixels high: its text is drawn to fit.
    QFont font = bar->font();
    font.setPixelSize(std::max(8, bar->height() - 3));
    bar->setFont(font);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Text, display.warning ? QColor(192, 0, 0) : QColor(0, 0, 0));
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Text));
    bar->setPalette(palette);
    bar->setAlignment(Qt::AlignCenter);
    bar->setFormat(display.text);
    bar->setToolTip(display.text);
    bar->setTextVisible(true);
}

void MainWindow::clearHealth()
{
    if (auto* bar = static_cast<QProgressBar*>(sorvak::findControl(this, ids::kProgressBar))) {
        bar->setTextVisible(false);
        bar->setToolTip(QString());
    }
}

void MainWindow::setRecordButtonText(const QString& text)
{
    if (auto* button = static_cast<QAbstractButton*>(sorvak::findControl(this, ids::kRecordButton)))
        button->setText(text);
}

void MainWindow::setPlayButtonText(const QString& text)
{
    if (auto* button = static_cast<QAbstractButton*>(sorvak::findControl(this, ids::kPlayButton)))
        button->setText(text);
}

void MainWindow::warn(const QString& caption, const QString& text)
{
    QMessageBox::warning(this, caption, text);
}

void MainWindow::error(const QString& caption, const QString& text)
{
    QMessageBox::critical(this, caption, text);
}

bool MainWindow::ask(const QString& caption, const QString& text)
{
    return QMessageBox::question(this, caption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void MainWindow::applyControlStates(const ControlStates& states)
{
    const std::array<std::pair<int, bool>, 7> controls = {{
        {ids::kRecordButton, states.record},
        {ids::kPlayButton, states.play},
        {ids::kImportButton, states.import},
        {ids::kSaveButton, states.save},
        {ids::kFolderButton, states.archiveButtons},
        {ids::kExploreButton, states.archiveButtons},
        {ids::kDeleteButton, states.archiveButtons},
    }};
    for (const bool enable : {false, true}) {
        int list[10] = {};
        std::size_t count = 0;
        for (const auto& [id, enabled] : controls) {
            if (enabled == enable)
                list[count++] = id;
        }
        if (count != 0)
            g_toolkit.EnableWindows10(this, enable ? 1 : 0, list[0], list[1], list[2], list[3], list[4], list[5],
                                      list[6], list[7], list[8], list[9]);
    }
    for (const int id : {ids::kRecordSlider, ids::kPlaySlider}) {
        if (QWidget* slider = sorvak::findControl(this, id))
            slider->setEnabled(states.sliders);
    }
    for (const int id : {ids::kRecordEnabledBox, ids::kPlayEnabledBox, ids::kMonitorThruBox}) {
        if (QWidget* box = sorvak::findControl(this, id))
            box->setEnabled(states.switches);
    }
    if (m_archiveList)
        m_archiveList->setEnabled(states.archiveList);
    if (m_menu) {
        m_menu->setTopLevelEnabled(states.menus);
        if (QAction* findTracks = m_menu->action(ids::kFindTracks))
            findTracks->setEnabled(states.findTracks);
        // The session's phases know nothing of markers: the markers decide here.
        if (QAction* saveTracks = m_menu->action(ids::kSaveTracks))
            saveTracks->setEnabled(m_session && states.findTracks
                                   && controlStates(m_session->phase(), m_session->hasTake(),
                                                    !m_session->trackMarkers().empty())
                                          .saveTracks);
    }
}

void MainWindow::refreshArchive()
{
    if (m_archiveList)
        m_archiveList->refresh(QString::fromUtf8(m_state.settings.archiveFolder));
}

void MainWindow::closeWindow()
{
    QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

}
