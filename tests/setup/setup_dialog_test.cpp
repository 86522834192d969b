// The "Program Setup" dialog through its controls: the agreement box and Install, the path box
// that takes no keys or clicks, Browse, and Install's messages and program start (the folder
// browser, the message boxes and the start are replaced by recorders).

#include "setup_dialog.h"
#include "setup_payload.h"

#include "recorder_test_support.h"

#include "sorvak_widgets.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>

namespace wavelark::setup {
namespace {

struct Message {
    QMessageBox::Icon icon;
    QString caption;
    QString text;
};

class SetupDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::ensureApplication();
        SetupServices services;
        services.browseForFolder = [this](QWidget*) {
            ++m_browseCount;
            return m_browseAnswer;
        };
        services.showMessage = [this](QWidget*, QMessageBox::Icon icon, const QString& caption, const QString& text) {
            m_messages.push_back({icon, caption, text});
        };
        services.startProgram = [this](const QString& folder) {
            m_started << folder;
            return m_startAnswer;
        };
        m_dialog = std::make_unique<SetupDialog>(services);
        m_dialog->show();
        m_dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
    }

    template <typename Widget>
    Widget* control(int id) const
    {
        auto* widget = qobject_cast<Widget*>(sorvak::findControl(m_dialog.get(), id));
        EXPECT_NE(widget, nullptr) << "control " << id;
        return widget;
    }
    QLineEdit* path() const { return control<QLineEdit>(ids::kInstallPath); }
    QCheckBox* agreement() const { return control<QCheckBox>(ids::kAgreement); }
    QPushButton* installButton() const { return control<QPushButton>(ids::kInstall); }
    QPushButton* browseButton() const { return control<QPushButton>(ids::kBrowse); }

    // The path box set as Browse sets it.
    void choose(const std::filesystem::path& folder)
    {
        m_browseAnswer = QString::fromStdString(folder.string());
        QTest::mouseClick(browseButton(), Qt::LeftButton);
    }

    testing::TemporaryFolder m_folder;
    std::unique_ptr<SetupDialog> m_dialog;
    int m_browseCount = 0;
    QString m_browseAnswer;
    std::vector<Message> m_messages;
    QStringList m_started;
    ProgramStart m_startAnswer{true, 1, {}};
};

TEST_F(SetupDialogTest, StartsWithTheTemplateSizeTheHomeFolderAndTheLicenceFocused)
{
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Program Setup"));
    // 322 x 218 dialog units at 1.5 and 1.625 pixels a unit.
    EXPECT_EQ(m_dialog->size(), QSize(483, 354));
    EXPECT_EQ(path()->text(), QDir::homePath() + QLatin1Char('/'));
    for (const int id : {ids::kBanner, ids::kInstallPath, ids::kBrowse, ids::kLicence, ids::kAgreement, ids::kInstall})
        EXPECT_NE(sorvak::findControl(m_dialog.get(), id), nullptr) << id;
    auto* licence = control<QPlainTextEdit>(ids::kLicence);
    EXPECT_TRUE(QTest::qWaitFor([&] { return licence->hasFocus(); }, 2000));
    EXPECT_EQ(licence->toPlainText(), licenceText());
    EXPECT_TRUE(licenceText().startsWith(QStringLiteral("WAVELARK 2.0 LICENCE AGREEMENT")));
    EXPECT_EQ(licence->palette().color(QPalette::Base), QColor(112, 112, 112));
    EXPECT_EQ(licence->palette().color(QPalette::Text), QColor(128, 255, 128));
}

TEST_F(SetupDialogTest, InstallIsEnabledExactlyWhileTheAgreementBoxIsTicked)
{
    EXPECT_FALSE(installButton()->isEnabled());
    QTest::mouseClick(installButton(), Qt::LeftButton);
    EXPECT_TRUE(m_messages.empty());
    for (const bool ticked : {true, false, true, false}) {
        QTest::mouseClick(agreement(), Qt::LeftButton, {}, QPoint(5, agreement()->height() / 2));
        EXPECT_EQ(agreement()->isChecked(), ticked);
        EXPECT_EQ(installButton()->isEnabled(), ticked);
    }
    EXPECT_TRUE(m_started.isEmpty());
}

TEST_F(SetupDialogTest, KeysAndClicksIntoThePathBoxChangeNothing)
{
    const QString before = path()->text();
    QTest::mouseClick(path(), Qt::LeftButton);
    QTest::mouseDClick(path(), Qt::LeftButton);
    QTest::mouseClick(path(), Qt::RightButton);
    path()->setFocus();
    QTest::keyClicks(path(), QStringLiteral("/tmp/elsewhere"));
    QTest::keyClick(path(), Qt::Key_Backspace);
    QTest::keyClick(path(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(path(), Qt::Key_Delete);
    EXPECT_EQ(path()->text(), before);
    // Nor does the licence take keys.
    auto* licence = control<QPlainTextEdit>(ids::kLicence);
    const QString licenceBefore = licence->toPlainText();
    licence->setFocus();
    QTest::keyClicks(licence, QStringLiteral("changed"));
    QTest::keyClick(licence, Qt::Key_Return);
    EXPECT_EQ(licence->toPlainText(), licenceBefore);
    // Tab still moves the focus on, to the agreement box.
    QTest::keyClick(licence, Qt::Key_Tab);
    EXPECT_TRUE(agreement()->hasFocus()) << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "none");
    QTest::keyClick(agreement(), Qt::Key_Space);
    EXPECT_TRUE(agreement()->isChecked());
}

TEST_F(SetupDialogTest, BrowseReplacesThePathAndCancelKeepsIt)
{
    const std::filesystem::path chosen = m_folder.path() / "Apps";
    choose(chosen);
    EXPECT_EQ(m_browseCount, 1);
    EXPECT_EQ(path()->text(), QString::fromStdString(chosen.string()) + QLatin1Char('/'));
    EXPECT_TRUE(browseButton()->isEnabled());
    // The root keeps its single slash.
    choose("/");
    EXPECT_EQ(path()->text(), QStringLiteral("/"));
    // Cancelled: an empty answer leaves the path.
    choose("");
    EXPECT_EQ(m_browseCount, 3);
    EXPECT_EQ(path()->text(), QStringLiteral("/"));
}

TEST_F(SetupDialogTest, InstallWritesIntoThePathsWavelarkFolderSaysSoAndStartsTheRecorderThere)
{
    choose(m_folder.path());
    agreement()->setChecked(true);
    QTest::mouseClick(installButton(), Qt::LeftButton);
    const QString folder = QString::fromStdString(m_folder.path().string()) + QStringLiteral("/Wavelark/");
    for (const char* name : {"wavelark", "libsorvak.so", "libmp3lame.so.0"})
        EXPECT_TRUE(QFileInfo::exists(folder + QLatin1String(name))) << name;
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].caption, QStringLiteral("SUCCESS"));
    EXPECT_EQ(m_messages[0].text, QStringLiteral("SETUP is Complete !"));
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Information);
    EXPECT_EQ(m_started, QStringList{folder});
    EXPECT_TRUE(m_dialog->installed());
    EXPECT_FALSE(m_dialog->isVisible());
}

TEST_F(SetupDialogTest, ARecorderThatCannotStartIsReportedAfterTheSuccess)
{
    m_startAnswer = ProgramStart{false, 0, QStringLiteral("The system lacks libraries Wavelark needs: libQt6Widgets.so.6.")};
    choose(m_folder.path());
    agreement()->setChecked(true);
    QTest::mouseClick(installButton(), Qt::LeftButton);
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_EQ(m_messages[1].caption, QStringLiteral("ERROR"));
    EXPECT_EQ(m_messages[1].icon, QMessageBox::Critical);
    EXPECT_TRUE(m_messages[1].text.startsWith(QStringLiteral("Cannot Open Program\n")));
    EXPECT_TRUE(m_messages[1].text.contains(QStringLiteral("libQt6Widgets.so.6")));
}

// A folder that cannot be made: an error naming it and the reason, no success, nothing started,
// and the controls back for another choice.
TEST_F(SetupDialogTest, AnInstallThatFailsNamesThePathAndReasonAndStartsNothing)
{
    const std::filesystem::path file = m_folder.path() / "a-file";
    testing::writeFile(file, "not a folder");
    choose(file);
    agreement()->setChecked(true);
    QTest::mouseClick(installButton(), Qt::LeftButton);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].caption, QStringLiteral("ERROR"));
    const QString folder = QString::fromStdString(file.string()) + QStringLiteral("/Wavelark/");
    EXPECT_TRUE(m_messages[0].text.contains(folder)) << m_messages[0].text.toStdString();
    EXPECT_TRUE(m_messages[0].text.contains(QStringLiteral("Not a directory"))) << m_messages[0].text.toStdString();
    EXPECT_TRUE(m_started.isEmpty());
    EXPECT_FALSE(m_dialog->installed());
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_TRUE(installButton()->isEnabled());
    EXPECT_TRUE(browseButton()->isEnabled());
    EXPECT_TRUE(agreement()->isEnabled());
}

// A system folder where no one may make a folder, root included: the error names the folder.
TEST_F(SetupDialogTest, AnInstallIntoAFolderNoOneMayWriteIsRefusedWithTheSystemsReason)
{
    choose("/sys");
    agreement()->setChecked(true);
    QTest::mouseClick(installButton(), Qt::LeftButton);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].caption, QStringLiteral("ERROR"));
    EXPECT_TRUE(m_messages[0].text.contains(QStringLiteral("/sys/Wavelark/:\n"))) << m_messages[0].text.toStdString();
    EXPECT_FALSE(m_messages[0].text.endsWith(QStringLiteral(":\n")));
    EXPECT_FALSE(std::filesystem::exists("/sys/Wavelark"));
    EXPECT_TRUE(m_started.isEmpty());
}

TEST(InstallPaths, AChosenFolderEndsWithOneSlashAndTheInstallFolderIsWavelarkUnderIt)
{
    const struct {
        const char* chosen;
        const char* path;
        const char* folder;
    } cases[] = {
        {"/", "/", "/Wavelark/"},
        {"/opt/apps", "/opt/apps/", "/opt/apps/Wavelark/"},
        {"/opt/apps/", "/opt/apps/", "/opt/apps/Wavelark/"},
        {"/home/user//music", "/home/user/music/", "/home/user/music/Wavelark/"},
    };
    for (const auto& row : cases) {
        const QString path = installPathOf(QString::fromLatin1(row.chosen));
        EXPECT_EQ(path, QString::fromLatin1(row.path)) << row.chosen;
        EXPECT_EQ(installFolderOf(path), QString::fromLatin1(row.folder)) << row.chosen;
    }
}

}
}
