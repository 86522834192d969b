// The main window from the keyboard alone: the menus by Alt and their letters and by F10, the
// "Take" entries' shortcuts, F1, Space on a focused checkbox, the tab order with every stop
// showing its focus, the large buttons' focus frame, and the controls' accessible names and roles.

#include "recorder_test_support.h"

#include "app/main_menu.h"
#include "app/main_window.h"
#include "app/recorder_application.h"
#include "archive/archive_list.h"
#include "core/identifiers.h"
#include "session/take_session.h"
#include "widgets/focus_ring.h"
#include "widgets/waveform_view.h"

#include "sorvak_widgets.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSlider>
#include <QTest>

#include <cstdlib>

namespace wavelark {
namespace {

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::ensureApplication();
        testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
        settings.putInt(3144, 0);
        testing::writeFile(m_home.settingsPath(), settings.bytes);
    }
    // withTake: three seconds of silence as the take.
    void start(bool withTake)
    {
        if (withTake)
            testing::writeFile(m_home.home() / "recording.raw", std::string(3 * 176400, '\0'));
        ASSERT_TRUE(m_recorder.startUp());
        m_window = m_recorder.mainWindow();
        ASSERT_NE(m_window, nullptr);
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window));
    }
    void TearDown() override
    {
        for (QWidget* popup = QApplication::activePopupWidget(); popup; popup = QApplication::activePopupWidget())
            popup->close();
        m_recorder.shutDown();
    }
    template <typename Widget = QWidget>
    Widget* control(int id)
    {
        return qobject_cast<Widget*>(sorvak::findControl(m_window, id));
    }
    // The key as the user types it: to whatever has the focus.
    void type(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : m_window;
        QTest::keyClick(target, key, modifiers);
    }
    QString status() { return control<QLabel>(ids::kStatusLine)->text(); }

    testing::RecorderHome m_home;
    testing::ModalRecorder m_boxes;
    RecorderApplication m_recorder;
    MainWindow* m_window = nullptr;
};

// The letters after '&' in the entries of menu, each entry's in order; a space for none.
QString mnemonics(const QMenu* menu)
{
    QString letters;
    for (const QAction* entry : menu->actions()) {
        if (entry->isSeparator())
            continue;
        const QString text = entry->text();
        const qsizetype marker = text.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
        letters += marker < 0 ? QLatin1Char(' ') : text[marker + 1].toLower();
    }
    return letters;
}

TEST_F(KeyboardTest, EveryMenuOpensWithAltAndItsLetterAndF10OpensTheFirst)
{
    start(false);
    const struct {
        Qt::Key letter;
        const char* title;
    } menus[] = {{Qt::Key_F, "File"}, {Qt::Key_T, "Take"}, {Qt::Key_S, "Settings"}, {Qt::Key_H, "Help"}};
    for (const auto& menu : menus) {
        QMenu* shown = testing::menuTitled(m_window->menuBar(), QString::fromLatin1(menu.title));
        ASSERT_NE(shown, nullptr) << menu.title;
        QTest::keyClick(m_window, menu.letter, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return shown->isVisible(); }, 5000)) << menu.title;
        shown->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !shown->isVisible(); }, 5000));
    }
    QTest::keyClick(m_window, Qt::Key_F10);
    QMenu* file = testing::menuTitled(m_window->menuBar(), QStringLiteral("File"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return file->isVisible(); }, 5000));
}

TEST_F(KeyboardTest, EveryEntryHasItsOwnLetterInItsMenu)
{
    start(false);
    QList<QMenu*> menus;
    for (QAction* title : m_window->menuBar()->actions())
        menus << title->menu();
    // Submenus too; the device menus list what the system names, by number, with arrows.
    for (qsizetype index = 0; index < menus.size(); ++index) {
        for (QAction* entry : menus[index]->actions()) {
            if (entry->menu() && !testing::shownText(entry->text()).endsWith(QStringLiteral("Device")))
                menus << entry->menu();
        }
    }
    EXPECT_GE(menus.size(), 10);
    for (const QMenu* menu : menus) {
        const QString letters = mnemonics(menu);
        EXPECT_FALSE(letters.contains(QLatin1Char(' '))) << menu->title().toStdString() << ": " << letters.toStdString();
        EXPECT_EQ(QSet<QChar>(letters.begin(), letters.end()).size(), letters.size())
            << menu->title().toStdString() << ": " << letters.toStdString();
    }
}

TEST_F(KeyboardTest, AnEntryIsChosenByItsLetterOnceItsMenuIsOpen)
{
    start(false);
    testing::FakeOpener desktop(0);
    QTest::keyClick(m_window, Qt::Key_H, Qt::AltModifier);
    QMenu* help = testing::menuTitled(m_window->menuBar(), QStringLiteral("Help"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return help->isVisible(); }, 5000));
    QTest::keyClick(help, Qt::Key_O);
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop.opened().size() == 1; }, 10000));
    EXPECT_TRUE(desktop.opened().front().endsWith(QStringLiteral("wavelark-guide.html")));
}

// A shortcut of the "Take" menu (or F1) and what shows that its command ran.
struct ShortcutCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int commandId;
    const char* modalTitle;  // the window the command opens, or null
};

class TakeShortcutTest : public KeyboardTest, public ::testing::WithParamInterface<ShortcutCase> {};

TEST_P(TakeShortcutTest, RunsTheButtonsCommandAndIsShownInTheMenu)
{
    const ShortcutCase& row = GetParam();
    start(true);
    QAction* entry = m_window->menu()->action(row.commandId);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->shortcut(), QKeySequence(row.key | row.modifiers));
    testing::FakeOpener desktop(0);
    // Away from the buttons, which Space would press.
    m_window->waveformView()->setFocus(Qt::TabFocusReason);
    type(row.key, row.modifiers);
    if (row.modalTitle) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return m_boxes.titles().contains(QString::fromLatin1(row.modalTitle)); }, 5000))
            << m_boxes.titles().join(QLatin1Char(',')).toStdString();
    } else if (row.commandId == ids::kPlayButton) {
        EXPECT_EQ(control<QPushButton>(ids::kPlayButton)->text(), QStringLiteral("Stop"));
    } else if (row.commandId == ids::kSaveButton) {
        // A take without a selection: the status line says how to select.
        EXPECT_EQ(status(), QString::fromLatin1(kNothingSelectedText));
    } else {
        EXPECT_TRUE(QTest::qWaitFor([&] { return desktop.opened().size() == 1; }, 10000));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TakeShortcutTest,
    ::testing::Values(ShortcutCase{"RecordCtrlR", Qt::Key_R, Qt::ControlModifier, ids::kRecordButton, kRecordCaption},
                      ShortcutCase{"PlaySpace", Qt::Key_Space, Qt::NoModifier, ids::kPlayButton, nullptr},
                      ShortcutCase{"SaveCtrlS", Qt::Key_S, Qt::ControlModifier, ids::kSaveButton, nullptr},
                      ShortcutCase{"ImportCtrlI", Qt::Key_I, Qt::ControlModifier, ids::kImportButton,
                                   "Import Audio File"},
                      ShortcutCase{"GuideF1", Qt::Key_F1, Qt::NoModifier, ids::kOnlineGuide, nullptr}),
    [](const ::testing::TestParamInfo<ShortcutCase>& info) { return std::string(info.param.name); });

TEST_F(KeyboardTest, TakeEntriesAreEnabledAsTheirButtons)
{
    start(true);
    for (const int id : {ids::kRecordButton, ids::kPlayButton, ids::kSaveButton, ids::kImportButton}) {
        QWidget* button = control(id);
        QAction* entry = m_window->menu()->action(id);
        ASSERT_NE(entry, nullptr) << id;
        EXPECT_TRUE(entry->isEnabled()) << id;
        button->setEnabled(false);
        EXPECT_FALSE(entry->isEnabled()) << id;
        button->setEnabled(true);
        EXPECT_TRUE(entry->isEnabled()) << id;
    }
    // A disabled Play button: Space plays nothing.
    m_window->waveformView()->setFocus(Qt::TabFocusReason);
    control(ids::kPlayButton)->setEnabled(false);
    type(Qt::Key_Space);
    EXPECT_EQ(control<QPushButton>(ids::kPlayButton)->text(), QStringLiteral("Play"));
}

TEST_F(KeyboardTest, SpaceOnAFocusedCheckboxTogglesItInsteadOfPlaying)
{
    start(true);
    auto* recordEnabled = control<QCheckBox>(ids::kRecordEnabledBox);
    ASSERT_TRUE(recordEnabled->isChecked());
    recordEnabled->setFocus(Qt::TabFocusReason);
    type(Qt::Key_Space);
    EXPECT_FALSE(recordEnabled->isChecked());
    EXPECT_EQ(m_recorder.state().settings.recordEnabled, 0);
    EXPECT_EQ(control<QPushButton>(ids::kPlayButton)->text(), QStringLiteral("Play"));
    type(Qt::Key_Space);
    EXPECT_TRUE(recordEnabled->isChecked());
}

TEST_F(KeyboardTest, ClickingACheckboxLeavesTheFocusSoSpaceStillPlays)
{
    start(true);
    WaveformView* view = m_window->waveformView();
    view->setFocus(Qt::TabFocusReason);
    auto* recordEnabled = control<QCheckBox>(ids::kRecordEnabledBox);
    QTest::mouseClick(recordEnabled, Qt::LeftButton);
    EXPECT_FALSE(recordEnabled->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), view);
    type(Qt::Key_Space);
    EXPECT_FALSE(recordEnabled->isChecked());
    EXPECT_EQ(control<QPushButton>(ids::kPlayButton)->text(), QStringLiteral("Stop"));
}

TEST_F(KeyboardTest, TabVisitsEveryControlInOrderAndEachShowsItsFocus)
{
    start(true);
    QWidget* const stops[] = {control(ids::kRecordButton), control(ids::kPlayButton), control(ids::kImportButton),
                              control(ids::kSaveButton), m_window->waveformView(), m_window->archiveList(),
                              control(ids::kFolderButton), control(ids::kExploreButton), control(ids::kDeleteButton),
                              control(ids::kRecordEnabledBox), control(ids::kRecordSlider),
                              control(ids::kPlayEnabledBox), control(ids::kPlaySlider), control(ids::kMonitorThruBox)};
    QList<QImage> unfocused;
    QApplication::focusWidget()->clearFocus();
    for (QWidget* stop : stops)
        unfocused << stop->grab().toImage();
    const FocusRing* ring = m_window->focusRing();
    ASSERT_NE(ring, nullptr);

    // From the last stop Tab comes round to the first.
    control(ids::kMonitorThruBox)->setFocus();
    for (std::size_t index = 0; index < std::size(stops); ++index) {
        type(Qt::Key_Tab);
        QWidget* stop = stops[index];
        ASSERT_EQ(QApplication::focusWidget(), stop) << "stop " << index;
        QApplication::processEvents();
        const bool drawsItsOwn = stop->grab().toImage() != unfocused[static_cast<qsizetype>(index)];
        const bool ringed = ring->isVisible() && ring->framed() == stop;
        EXPECT_TRUE(drawsItsOwn || ringed) << "stop " << index << " shows no focus";
    }
}

// Pixels of image close to colour.
int pixelsNear(const QImage& image, QColor colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green())
                    + std::abs(pixel.blue() - colour.blue())
                < 40)
                ++count;
        }
    }
    return count;
}

TEST_F(KeyboardTest, LargeButtonDrawsAFocusFrameOnceTheKeyboardMovedTheFocus)
{
    start(true);
    QWidget* play = control(ids::kPlayButton);
    const QImage before = play->grab().toImage();
    EXPECT_EQ(pixelsNear(before, kFocusFrameColour), 0);
    control(ids::kRecordButton)->setFocus();
    type(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), play);
    const QImage focused = play->grab().toImage();
    // A frame around the button: at least its two long sides.
    EXPECT_GT(pixelsNear(focused, kFocusFrameColour), 2 * (play->width() - 12));
    // Left again: the frame goes.
    type(Qt::Key_Tab);
    EXPECT_EQ(pixelsNear(play->grab().toImage(), kFocusFrameColour), 0);
}

struct AccessibleCase {
    int id;  // kViewFrame: the waveform view; kArchiveFrame: the archive list
    const char* name;
    QAccessible::Role role;
};

TEST_F(KeyboardTest, EveryControlHasAnAccessibleNameAndRole)
{
    start(true);
    const AccessibleCase rows[] = {
        {ids::kRecordButton, "Record", QAccessible::Button},
        {ids::kPlayButton, "Play", QAccessible::Button},
        {ids::kImportButton, "Import", QAccessible::Button},
        {ids::kSaveButton, "Save", QAccessible::Button},
        {ids::kFolderButton, "Change archive folder", QAccessible::Button},
        {ids::kExploreButton, "Explore archive folder", QAccessible::Button},
        {ids::kDeleteButton, "Delete selected files", QAccessible::Button},
        {ids::kRecordSlider, "Record level", QAccessible::Slider},
        {ids::kPlaySlider, "Playback level", QAccessible::Slider},
        {ids::kRecordEnabledBox, "Record enabled", QAccessible::CheckBox},
        {ids::kPlayEnabledBox, "Play enabled", QAccessible::CheckBox},
        {ids::kMonitorThruBox, "Monitor - Thru", QAccessible::CheckBox},
        {ids::kProgressBar, "Progress", QAccessible::ProgressBar},
        {ids::kArchiveFrame, "Archive", QAccessible::Tree},
        {ids::kViewFrame, "Waveform", QAccessible::Chart},
    };
    for (const AccessibleCase& row : rows) {
        QWidget* widget = row.id == ids::kViewFrame      ? m_window->waveformView()
                          : row.id == ids::kArchiveFrame ? static_cast<QWidget*>(m_window->archiveList())
                                                         : control(row.id);
        ASSERT_NE(widget, nullptr) << row.name;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr) << row.name;
        EXPECT_EQ(accessible->text(QAccessible::Name), QString::fromLatin1(row.name));
        EXPECT_EQ(accessible->role(), row.role) << row.name;
    }
    // The Record button keeps its name while its caption says "Stop".
    control<QPushButton>(ids::kRecordButton)->setText(QStringLiteral("Stop"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(control(ids::kRecordButton))->text(QAccessible::Name),
              QStringLiteral("Record"));
}

TEST_F(KeyboardTest, SlidersTellTheirPositionAndGainAndTheViewItsSelection)
{
    start(true);
    auto* slider = control<QSlider>(ids::kPlaySlider);
    slider->setValue(30);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(slider);
    ASSERT_NE(accessible->valueInterface(), nullptr);
    EXPECT_EQ(accessible->valueInterface()->currentValue().toInt(), 30);
    EXPECT_EQ(accessible->text(QAccessible::Description), QStringLiteral("Gain x 0.70"));

    WaveformView* view = m_window->waveformView();
    QAccessibleInterface* picture = QAccessible::queryAccessibleInterface(view);
    EXPECT_EQ(picture->text(QAccessible::Description), QStringLiteral("Nothing selected"));
    view->setFocus(Qt::TabFocusReason);
    type(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(picture->text(QAccessible::Description), QStringLiteral("Selected ") + view->selectionTimesText());
    EXPECT_EQ(view->firstEdge(), 0u);
    EXPECT_EQ(view->secondEdge(), static_cast<uint32_t>(view->width()));
    EXPECT_TRUE(view->selectionTimesText().startsWith(QStringLiteral("0:00.000 - ")))
        << view->selectionTimesText().toStdString();
}

}
}
