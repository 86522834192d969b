// The main window from the keyboard: the tab order, F10, Space where a button has the focus, the
// focus ring and the controls' accessible names.

#include "app/main_window.h"

#include "app/main_menu.h"

#include "archive/archive_list.h"

#include "core/identifiers.h"

#include "widgets/focus_ring.h"
#include "widgets/waveform_view.h"

#include "sorvak_widgets.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QMenuBar>
#include <QShortcut>

namespace wavelark {

namespace {

// The tab order: the large buttons, the view and the archive with its buttons, then the record
// and playback columns from top to bottom.
constexpr int kTabOrder[] = {ids::kRecordButton, ids::kPlayButton,    ids::kImportButton,     ids::kSaveButton,
                             ids::kViewFrame,    ids::kArchiveFrame,  ids::kFolderButton,     ids::kExploreButton,
                             ids::kDeleteButton, ids::kRecordEnabledBox, ids::kRecordSlider, ids::kPlayEnabledBox,
                             ids::kPlaySlider,   ids::kMonitorThruBox};

const struct {
    int id;
    const char* name;
} kAccessibleNames[] = {
    {ids::kFolderButton, "Change archive folder"},
    {ids::kExploreButton, "Explore archive folder"},
    {ids::kDeleteButton, "Delete selected files"},
    {ids::kRecordSlider, "Record level"},
    {ids::kPlaySlider, "Playback level"},
    {ids::kRecordEnabledBox, "Record enabled"},
    {ids::kPlayEnabledBox, "Play enabled"},
    {ids::kMonitorThruBox, "Monitor - Thru"},
    {ids::kProgressBar, "Progress"},
    {ids::kStatusLine, "Status"},
    {ids::kArchiveFolderText, "Archive folder"},
};

}

QWidget* MainWindow::tabStop(int id) const
{
    if (id == ids::kViewFrame)
        return m_view;
    if (id == ids::kArchiveFrame)
        return m_archiveList;
    return sorvak::findControl(const_cast<MainWindow*>(this), id);
}

void MainWindow::setUpKeyboard()
{
    for (const auto& [id, name] : kAccessibleNames) {
        if (QWidget* control = sorvak::findControl(this, id))
            control->setAccessibleName(QString::fromLatin1(name));
    }
    m_archiveList->setAccessibleName(QStringLiteral("Archive"));

    QWidget* previous = nullptr;
    for (const int id : kTabOrder) {
        QWidget* control = tabStop(id);
        if (previous)
            setTabOrder(previous, control);
        previous = control;
    }

    // These controls draw no focus of their own: the sliders under their style sheet, the
    // checkboxes without a caption, the view's picture, the archive list without a current item.
    m_focusRing = new FocusRing(m_client);  // Owned by the client area
    for (const int id : {ids::kRecordSlider, ids::kPlaySlider, ids::kRecordEnabledBox, ids::kPlayEnabledBox,
                         ids::kViewFrame, ids::kArchiveFrame})
        m_focusRing->watch(tabStop(id));

    // Space plays, except where a button or checkbox has the focus: there it presses the button.
    // Only Tab gives them the focus (where their frame shows it): a click on "Rec" leaves the
    // focus where it was, so the next Space still plays instead of unticking it.
    for (QAbstractButton* button : m_client->findChildren<QAbstractButton*>()) {
        button->installEventFilter(this);
        if (button->focusPolicy() != Qt::NoFocus)
            button->setFocusPolicy(Qt::TabFocus);
    }

    // F10 opens the first menu, as Alt alone does.
    auto* firstMenu = new QShortcut(QKeySequence(Qt::Key_F10), this);  // Owned by the window
    connect(firstMenu, &QShortcut::activated, this, [this] {
        const QList<QAction*> menus = menuBar()->actions();
        if (!menus.isEmpty() && menus.first()->isEnabled())
            menuBar()->setActiveAction(menus.first());
    });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Accepting the override keeps the Play shortcut from taking the key, which then reaches the
    // focused button as a key press.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            event->accept();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}
