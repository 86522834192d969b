// GetOpenFilenames and BrowseForFolder, with the file dialog driven from a timer while it runs.

#include "sorvak.h"
#include "sorvak_widgets.h"

#include "support/temporary_folder.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using wavelark::testing::TemporaryFolder;
using wavelark::testing::writeFile;

constexpr int kFileList = 1010;

std::vector<std::string> g_perFile;

int rememberFile(const char* path)
{
    g_perFile.emplace_back(path);
    return 0;
}

// Runs action on the file dialog once it is open.
void whenDialogOpens(std::function<void(QFileDialog*)> action)
{
    auto* timer = new QTimer;
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    QObject::connect(timer, &QTimer::timeout, [timer, waited, action] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        const bool open = dialog && dialog->isVisible();
        if (!open && waited->elapsed() < 10000)
            return;
        timer->stop();
        timer->deleteLater();
        if (open) {
            // Should the action leave the dialog open (or a warning over it), close it so that
            // the test fails instead of hanging. The timer ends with the dialog.
            QTimer::singleShot(5000, dialog, [dialog] {
                ADD_FAILURE() << "the file dialog stayed open";
                while (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    modal->reject();
                    if (modal == dialog)
                        break;
                }
            });
            action(dialog);
        } else
            ADD_FAILURE() << "no file dialog opened";
    });
    timer->start(10);
}

// Types file names into the dialog, as the user would, and presses Open.
void chooseTyped(QFileDialog* dialog, const QString& names)
{
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(names);
    static_cast<QDialog*>(dialog)->accept();
}

// The texts of an open-file result: a folder and names, ended by an empty text.
std::vector<std::string> resultTexts(const char* result)
{
    std::vector<std::string> texts;
    for (const char* text = result; *text; text += std::strlen(text) + 1)
        texts.emplace_back(text);
    return texts;
}

class FileDialogsTest : public ::testing::Test {
protected:
    FileDialogsTest()
    {
        g_perFile.clear();
        for (const char* name : {"a.wav", "b.wav", "c.mp3"})
            writeFile(m_folder.path() / name, "data");
        m_list = new QListWidget(&m_owner);
        sorvak::setControlId(m_list, kFileList);
    }

    std::string folder() const { return m_folder.path().string(); }

    char* open(int multiple, int listBoxId = 0, SorvakFileFunction perFile = nullptr)
    {
        return GetOpenFilenames(&m_owner, multiple, "Import Audio File", folder().c_str(),
                                "All Media Files\0*.wav;*.mp3;*.wma\0All Files\0*.*\0", listBoxId, perFile);
    }

    std::vector<std::string> listed() const
    {
        std::vector<std::string> texts;
        for (int row = 0; row < m_list->count(); ++row)
            texts.push_back(m_list->item(row)->text().toStdString());
        return texts;
    }

    TemporaryFolder m_folder;
    QWidget m_owner;
    QListWidget* m_list;
};

TEST_F(FileDialogsTest, SingleSelectionGivesTheFullPath)
{
    QString title;
    QString startFolder;
    QStringList filters;
    whenDialogOpens([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        startFolder = dialog->directory().absolutePath();
        filters = dialog->nameFilters();
        chooseTyped(dialog, QStringLiteral("b.wav"));
    });
    const char* result = open(0, kFileList, rememberFile);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(std::string(result), folder() + "/b.wav");
    EXPECT_EQ(title, "Import Audio File");
    EXPECT_EQ(startFolder.toStdString(), folder());
    EXPECT_EQ(filters, QStringList({"All Media Files (*.wav *.mp3 *.wma)", "All Files (*)"}));
    // A single selection calls no per-file function and fills no list.
    EXPECT_TRUE(g_perFile.empty());
    EXPECT_EQ(m_list->count(), 0);
}

TEST_F(FileDialogsTest, StartsAtTheLastImportedFile)
{
    QString startFolder;
    QString typed;
    whenDialogOpens([&](QFileDialog* dialog) {
        startFolder = dialog->directory().absolutePath();
        typed = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
        static_cast<QDialog*>(dialog)->accept();
    });
    const std::string last = folder() + "/c.mp3";
    const char* result = GetOpenFilenames(&m_owner, 0, "Import Audio File", last.c_str(), nullptr, 0, nullptr);
    EXPECT_EQ(startFolder.toStdString(), folder());
    EXPECT_EQ(typed, "c.mp3");
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(std::string(result), last);
}

TEST_F(FileDialogsTest, CancellingGivesNull)
{
    whenDialogOpens([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(open(0), nullptr);
    whenDialogOpens([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(open(1, kFileList, rememberFile), nullptr);
    EXPECT_TRUE(g_perFile.empty());
}

TEST_F(FileDialogsTest, MultipleSelectionGivesTheFolderAndNamesAndFillsTheList)
{
    // Already listed: a.wav itself, and a path that merely begins with b.wav's.
    m_list->addItem(QString::fromStdString(folder() + "/a.wav"));
    m_list->addItem(QString::fromStdString(folder() + "/b.wav.old"));
    whenDialogOpens([](QFileDialog* dialog) { chooseTyped(dialog, QStringLiteral("\"a.wav\" \"b.wav\" \"c.mp3\"")); });
    const char* result = open(1, kFileList, rememberFile);
    ASSERT_NE(result, nullptr);
    const std::vector<std::string> texts {folder(), "a.wav", "b.wav", "c.mp3"};
    EXPECT_EQ(resultTexts(result), texts);
    const std::vector<std::string> paths {folder() + "/a.wav", folder() + "/b.wav", folder() + "/c.mp3"};
    EXPECT_EQ(g_perFile, paths);
    const std::vector<std::string> list {folder() + "/a.wav", folder() + "/b.wav.old", folder() + "/b.wav",
                                         folder() + "/c.mp3"};
    EXPECT_EQ(listed(), list);
}

TEST_F(FileDialogsTest, OneFileOfAMultipleSelectionGivesASpace)
{
    whenDialogOpens([](QFileDialog* dialog) { chooseTyped(dialog, QStringLiteral("c.mp3")); });
    const char* result = open(1, kFileList, rememberFile);
    ASSERT_NE(result, nullptr);
    EXPECT_STREQ(result, " ");
    EXPECT_EQ(g_perFile, std::vector<std::string> {folder() + "/c.mp3"});
    EXPECT_EQ(listed(), std::vector<std::string> {folder() + "/c.mp3"});
}

TEST_F(FileDialogsTest, FilesInDifferentFoldersShareTheirCommonFolder)
{
    // Files under /tmp and /var/tmp have only the root in common: no doubled '/'.
    TemporaryFolder other;
    char pattern[] = "/var/tmp/open-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string elsewhere = std::string(pattern) + "/d.wav";
    writeFile(elsewhere, "data");
    const std::string here = folder() + "/a.wav";
    whenDialogOpens([&](QFileDialog* dialog) {
        chooseTyped(dialog, QString::fromStdString("\"" + here + "\" \"" + elsewhere + "\""));
    });
    const char* result = open(1, 0, rememberFile);
    std::filesystem::remove_all(pattern);
    ASSERT_NE(result, nullptr);
    const std::vector<std::string> texts {"/", here.substr(1), elsewhere.substr(1)};
    EXPECT_EQ(resultTexts(result), texts);
    EXPECT_EQ(g_perFile, (std::vector<std::string> {here, elsewhere}));
}

TEST_F(FileDialogsTest, ManyLongNamesStayInsideTheResultArea)
{
    // 400 names of about 120 bytes: far more than the 32767-byte result area holds.
    std::vector<std::string> names;
    for (int index = 0; index < 400; ++index) {
        names.push_back(std::string(110, 'n') + std::to_string(1000 + index) + ".wav");
        writeFile(m_folder.path() / names.back(), "data");
    }
    whenDialogOpens([&](QFileDialog* dialog) {
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        QElapsedTimer loading;
        loading.start();
        while (view->model()->rowCount(view->rootIndex()) < 403 && loading.elapsed() < 8000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        view->selectAll();
        static_cast<QDialog*>(dialog)->accept();
    });
    const char* result = open(1, kFileList, rememberFile);
    ASSERT_NE(result, nullptr);
    const std::vector<std::string> texts = resultTexts(result);
    std::size_t used = 1;
    for (const std::string& text : texts)
        used += text.size() + 1;
    EXPECT_LE(used, 32767u);
    ASSERT_GT(texts.size(), 100u);
    EXPECT_LT(texts.size(), 404u);
    EXPECT_EQ(texts[0], folder());
    // Every chosen file still reaches the per-file function and the list.
    EXPECT_EQ(g_perFile.size(), 403u);
    EXPECT_EQ(m_list->count(), 403);
    for (std::size_t index = 1; index < texts.size(); ++index)
        EXPECT_EQ(folder() + "/" + texts[index], g_perFile[index - 1]);
}

TEST_F(FileDialogsTest, BrowseForFolderEndsThePathWithASlash)
{
    char displayName[260] = {};
    whenDialogOpens([&](QFileDialog* dialog) {
        dialog->setDirectory(QString::fromStdString(folder()));
        static_cast<QDialog*>(dialog)->accept();
    });
    const char* result = BrowseForFolder("Change Archive Folder", displayName);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(std::string(result), folder() + "/");
    EXPECT_EQ(std::string(displayName), m_folder.path().filename().string());
}

TEST_F(FileDialogsTest, BrowseForFolderKeepsTheRootAsItIs)
{
    whenDialogOpens([](QFileDialog* dialog) {
        dialog->setDirectory(QStringLiteral("/"));
        static_cast<QDialog*>(dialog)->accept();
    });
    char displayName[260] = {};
    const char* result = BrowseForFolder("Change Archive Folder", displayName);
    ASSERT_NE(result, nullptr);
    EXPECT_STREQ(result, "/");
    EXPECT_STREQ(displayName, "/");
}

TEST_F(FileDialogsTest, BrowseForFolderRefusesASecondBrowserAndCancelsToNull)
{
    const char* nested = "not called";
    whenDialogOpens([&](QFileDialog* dialog) {
        nested = BrowseForFolder("Again", nullptr);
        dialog->reject();
    });
    EXPECT_EQ(BrowseForFolder("Change Archive Folder", nullptr), nullptr);
    EXPECT_EQ(nested, nullptr);
    // The guard is cleared again: the next browser opens.
    whenDialogOpens([&](QFileDialog* dialog) {
        dialog->setDirectory(QString::fromStdString(folder()));
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_NE(BrowseForFolder("Change Archive Folder", nullptr), nullptr);
}

}
