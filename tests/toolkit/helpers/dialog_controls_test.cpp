// The dialog-control helpers on real widgets found by their control identifiers.

#include "sorvak.h"
#include "sorvak_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

enum Control { kName = 1056, kFormat = 1001, kQuality = 1002, kFiles = 1010, kSave = 1020, kTitle = 1030, kFade = 1040 };

template <typename Widget>
Widget* addControl(QWidget* parent, int id)
{
    auto* widget = new Widget(parent);
    sorvak::setControlId(widget, id);
    if (parent->layout())
        parent->layout()->addWidget(widget);
    return widget;
}

class DialogControlsTest : public ::testing::Test {
protected:
    DialogControlsTest()
    {
        new QVBoxLayout(&m_dialog);
        m_name = addControl<QLineEdit>(&m_dialog, kName);
        m_format = addControl<QComboBox>(&m_dialog, kFormat);
        m_quality = addControl<QComboBox>(&m_dialog, kQuality);
        m_files = addControl<QListWidget>(&m_dialog, kFiles);
        m_save = addControl<QPushButton>(&m_dialog, kSave);
        m_title = addControl<QLabel>(&m_dialog, kTitle);
        // A control inside a group box is found too.
        auto* group = addControl<QGroupBox>(&m_dialog, 0);
        new QVBoxLayout(group);
        m_fade = addControl<QCheckBox>(group, kFade);
        m_dialog.show();
    }

    QWidget m_dialog;
    QLineEdit* m_name;
    QComboBox* m_format;
    QComboBox* m_quality;
    QListWidget* m_files;
    QPushButton* m_save;
    QLabel* m_title;
    QCheckBox* m_fade;
};

TEST_F(DialogControlsTest, EnableWindows10ChangesTheListedControlsOnly)
{
    EnableWindows10(&m_dialog, 0, kName, 0, kSave, kFade, 0, 0, 0, 0, 0, 0);
    EXPECT_FALSE(m_name->isEnabled());
    EXPECT_FALSE(m_save->isEnabled());
    EXPECT_FALSE(m_fade->isEnabled());
    EXPECT_TRUE(m_format->isEnabled());
    EXPECT_TRUE(m_dialog.isEnabled());
    EnableWindows10(&m_dialog, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, kSave);
    EXPECT_TRUE(m_save->isEnabled());
    EXPECT_FALSE(m_name->isEnabled());
}

TEST_F(DialogControlsTest, SetFonts10SetsTheFontOnTheListedControls)
{
    QFont small(QStringLiteral("Sans"), 7);
    small.setBold(true);
    const QFont before = m_title->font();
    EXPECT_EQ(SetFonts10(&m_dialog, kName, kSave, 0, kFade, 0, 0, 0, 0, 0, 0, &small), 0);
    EXPECT_EQ(m_name->font(), small);
    EXPECT_EQ(m_save->font(), small);
    EXPECT_EQ(m_fade->font(), small);
    EXPECT_EQ(m_title->font(), before);
}

TEST_F(DialogControlsTest, AddComboStringsFillsAndSelects)
{
    const int boxHeight = m_format->height();
    EXPECT_EQ(AddComboStrings(&m_dialog, kFormat, "MP3\0WMA\0WAV\0", 1, 100, 0), 0);
    EXPECT_EQ(AddComboStrings(&m_dialog, kQuality, "HIGH\0MEDIUM\0LOW\0", 1, 100, 2), 2);
    ASSERT_EQ(m_format->count(), 3);
    EXPECT_EQ(m_format->itemText(0), "MP3");
    EXPECT_EQ(m_format->itemText(2), "WAV");
    EXPECT_EQ(m_format->currentIndex(), 0);
    EXPECT_EQ(m_quality->currentText(), "LOW");
    // The height is the drop-down's; the box itself keeps its size.
    EXPECT_EQ(m_format->height(), boxHeight);
}

TEST_F(DialogControlsTest, AddComboStringsDropDownHeightSetsTheVisibleRows)
{
    AddComboStrings(&m_dialog, kFormat, "1\0" "2\0" "3\0" "4\0" "5\0" "6\0" "7\0" "8\0" "9\0" "10\0" "11\0" "12\0", 1, 60, 0);
    AddComboStrings(&m_dialog, kQuality, "1\0" "2\0" "3\0" "4\0" "5\0" "6\0" "7\0" "8\0" "9\0" "10\0" "11\0" "12\0", 1, 300, 0);
    EXPECT_GE(m_format->maxVisibleItems(), 1);
    EXPECT_GT(m_quality->maxVisibleItems(), m_format->maxVisibleItems());
}

TEST_F(DialogControlsTest, AddComboStringsWithoutResizeSelectsNothing)
{
    EXPECT_EQ(AddComboStrings(&m_dialog, kFormat, "MP3\0WMA\0", 0, 100, 1), 0);
    EXPECT_EQ(m_format->count(), 2);
    EXPECT_EQ(m_format->currentIndex(), -1);
    EXPECT_EQ(AddComboStrings(&m_dialog, kQuality, "HIGH\0", 1, 100, 5), -1);
    EXPECT_EQ(m_quality->currentIndex(), -1);
    EXPECT_EQ(AddComboStrings(&m_dialog, 999, "HIGH\0", 1, 100, 0), -1);
}

TEST_F(DialogControlsTest, LBDeleteSelectedRemovesEverySelectedItem)
{
    m_files->setSelectionMode(QAbstractItemView::MultiSelection);
    m_files->addItems({"a", "b", "c", "d", "e"});
    EXPECT_EQ(LBDeleteSelected(&m_dialog, kFiles), 0);
    EXPECT_EQ(m_files->count(), 5);
    m_files->item(1)->setSelected(true);
    m_files->item(3)->setSelected(true);
    m_files->item(4)->setSelected(true);
    EXPECT_EQ(LBDeleteSelected(&m_dialog, kFiles), 0);
    ASSERT_EQ(m_files->count(), 2);
    EXPECT_EQ(m_files->item(0)->text(), "a");
    EXPECT_EQ(m_files->item(1)->text(), "c");
}

TEST_F(DialogControlsTest, WmGetTextReadsEachKindOfControl)
{
    m_name->setText(QStringLiteral("take one"));
    m_save->setText(QStringLiteral("&Save"));
    m_title->setText(QStringLiteral("Kaïa"));
    m_format->addItems({"MP3", "WMA"});
    m_format->setCurrentIndex(1);
    EXPECT_STREQ(wmGetText(&m_dialog, kName), "take one");
    EXPECT_STREQ(wmGetText(&m_dialog, kSave), "&Save");
    EXPECT_STREQ(wmGetText(&m_dialog, kTitle), "Kaïa");
    EXPECT_STREQ(wmGetText(&m_dialog, kFormat), "WMA");
    EXPECT_STREQ(wmGetText(&m_dialog, 4242), "");
}

TEST_F(DialogControlsTest, WmGetTextCutsLongTextsOnAWholeCharacter)
{
    m_name->setText(QString(300, u'x'));
    EXPECT_EQ(std::string(wmGetText(&m_dialog, kName)), std::string(259, 'x'));
    // 258 single-byte characters and a two-byte one need 261 bytes with the terminator.
    m_name->setText(QString(258, u'y') + QStringLiteral("é"));
    EXPECT_EQ(std::string(wmGetText(&m_dialog, kName)), std::string(258, 'y'));
    m_name->setText(QString(257, u'z') + QStringLiteral("é"));
    EXPECT_EQ(std::string(wmGetText(&m_dialog, kName)), std::string(257, 'z') + "é");
}

TEST_F(DialogControlsTest, AddToolTipNeedsNoTooltipWindow)
{
    EXPECT_NE(AddToolTip(&m_dialog, nullptr, kSave, "Save the selection"), 0);
    EXPECT_EQ(m_save->toolTip(), "Save the selection");
    EXPECT_EQ(AddToolTip(&m_dialog, nullptr, 4242, "nowhere"), 0);
}

TEST_F(DialogControlsTest, FindControlSkipsIdZeroAndPrefersShallowControls)
{
    EXPECT_EQ(sorvak::findControl(&m_dialog, 0), nullptr);
    auto* nested = new QWidget(m_fade->parentWidget());
    sorvak::setControlId(nested, kSave);
    EXPECT_EQ(sorvak::findControl(&m_dialog, kSave), m_save);
    EXPECT_EQ(sorvak::controlId(m_fade), kFade);
}

}
