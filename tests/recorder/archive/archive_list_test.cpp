// The archive list over files written by other programs (ffmpeg, sox, lame, flac): its columns,
// Delete and double-click at each file's real path, refreshes that are re-entered, interrupted or
// pointed at a missing folder, sorting by a heading's click, the folder watcher, and durations
// read off the window thread.

#include "archive/archive_list.h"

#include "capture_test_support.h"
#include "recorder_test_support.h"
#include "trash_home.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <QHeaderView>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <set>

namespace wavelark {
namespace {

namespace fs = std::filesystem;

// Sources made once for the whole suite: 2 s of WAV (ffmpeg), 3 s of MP3 (lame from a WAV of
// ffmpeg), 65 s of WMA (ffmpeg), 4 s of WAV (sox), the same 4 s as FLAC (flac) and that FLAC with
// an ID3v2 tag of 300 bytes in front, and 12 minutes of silence as FLAC (ffmpeg), all 44100 Hz
// stereo.
struct Sources {
    testing::TemporaryFolder folder;
    fs::path wav = folder.path() / "two.wav";
    fs::path mp3 = folder.path() / "three.mp3";
    fs::path wma = folder.path() / "sixtyfive.wma";
    fs::path soxWav = folder.path() / "four.wav";
    fs::path flac = folder.path() / "four.flac";
    fs::path taggedFlac = folder.path() / "tagged.flac";
    fs::path longFlac = folder.path() / "twelve.flac";
};

// Answers a message box by clicking one of its buttons.
std::function<void(QWidget*)> clicking(QMessageBox::StandardButton button)
{
    return [button](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        box->button(button)->click();
    };
}

// Answers the question Yes and closes the report that follows under the same caption.
std::function<void(QWidget*)> yesThenClose()
{
    auto answered = std::make_shared<int>(0);
    return [answered](QWidget* box) {
        if ((*answered)++ == 0)
            clicking(QMessageBox::Yes)(box);
        else
            box->close();
    };
}

void run(const std::string& command)
{
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

class ArchiveListTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testing::ensureRecorderRuntime();
        s_sources = std::make_unique<Sources>();
        const Sources& sources = *s_sources;
        run("ffmpeg -nostdin -y -f lavfi -i sine=frequency=440:duration=2 -ac 2 -ar 44100 '" + sources.wav.string() + "'");
        const fs::path threeSeconds = sources.folder.path() / "three.wav";
        run("ffmpeg -nostdin -y -f lavfi -i sine=frequency=660:duration=3 -ac 2 -ar 44100 '" + threeSeconds.string() + "'");
        run("lame --quiet -b 128 '" + threeSeconds.string() + "' '" + sources.mp3.string() + "'");
        run("ffmpeg -nostdin -y -f lavfi -i sine=frequency=330:duration=65 -ac 2 -ar 44100 -c:a wmav2 -b:a 128k '"
            + sources.wma.string() + "'");
        run("sox -n -r 44100 -c 2 -b 16 '" + sources.soxWav.string() + "' synth 4 sine 550");
        run("flac -s -f -o '" + sources.flac.string() + "' '" + sources.soxWav.string() + "'");
        // An ID3v2.3 header whose body (synchsafe size 2 × 128 + 34 = 290) is padding.
        std::string tag("ID3\x03\x00\x00\x00\x00\x02\x22", 10);
        tag.append(290, '\0');
        testing::writeFile(sources.taggedFlac, tag + testing::readFile(sources.flac));
        run("ffmpeg -nostdin -y -f lavfi -i anullsrc=r=44100:cl=stereo -t 720 -c:a flac '" + sources.longFlac.string() + "'");
    }
    static void TearDownTestSuite() { s_sources.reset(); }

    void SetUp() override
    {
        ASSERT_NE(s_sources, nullptr);
        m_list = std::make_unique<ArchiveList>(QFont(), QRect(0, 0, 555, 130), nullptr);
    }

    fs::path archive() const { return m_archive.path(); }
    // Refreshes and waits (with a deadline) until the durations have been read.
    ArchiveList::RefreshResult refreshAndRead()
    {
        const ArchiveList::RefreshResult result = m_list->refresh(archiveFolder());
        EXPECT_TRUE(testing::pumpUntil([&] { return !m_list->durationsPending(); }));
        return result;
    }
    QStringList titlesInOrder() const
    {
        QStringList titles;
        for (int row = 0; row < m_list->topLevelItemCount(); ++row)
            titles << m_list->topLevelItem(row)->text(ArchiveList::kTitleColumn);
        return titles;
    }
    void clickHeading(int column) const
    {
        QHeaderView* header = m_list->header();
        const QPoint centre(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
    }
    QString archiveFolder() const { return QString::fromStdString(archive().string() + "/"); }
    void copy(const fs::path& source, const std::string& name) const { fs::copy_file(source, archive() / name); }

    // Row texts by title; the search's order is the folder's, so rows are compared as a set.
    std::map<QString, QStringList> rowsByTitle() const
    {
        std::map<QString, QStringList> rows;
        for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
            const QTreeWidgetItem* item = m_list->topLevelItem(row);
            QStringList texts;
            for (int column = 0; column < ArchiveList::kColumnCount; ++column)
                texts << item->text(column);
            rows[item->text(ArchiveList::kTitleColumn)] = texts;
        }
        return rows;
    }
    QTreeWidgetItem* itemTitled(const QString& title) const
    {
        const auto found = m_list->findItems(title, Qt::MatchExactly, ArchiveList::kTitleColumn);
        return found.size() == 1 ? found.front() : nullptr;
    }
    void select(const QStringList& titles)
    {
        for (const QString& title : titles) {
            QTreeWidgetItem* item = itemTitled(title);
            ASSERT_NE(item, nullptr) << title.toStdString();
            item->setSelected(true);
        }
    }

    // A user's double-click: press and release, then the second press as a double-click.
    void doubleClick(QPoint point) const
    {
        QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, point);
        QTest::mouseDClick(m_list->viewport(), Qt::LeftButton, {}, point);
        QTest::mouseRelease(m_list->viewport(), Qt::LeftButton, {}, point);
    }

    static inline std::unique_ptr<Sources> s_sources;
    testing::TemporaryFolder m_archive;
    std::unique_ptr<ArchiveList> m_list;
    testing::ModalRecorder m_boxes;
};

QString sizeText(const fs::path& path)
{
    return QString::number(fs::file_size(path) / 1024) + QStringLiteral("kb");
}

TEST_F(ArchiveListTest, ListsTheFolderOwnAudioFilesWithTheirColumns)
{
    copy(s_sources->wav, "two seconds.wav");
    copy(s_sources->mp3, "three.mp3");
    copy(s_sources->wma, "Sixty Five.wma");
    copy(s_sources->soxWav, "Take.WAV");
    // A four-letter extension ending in a listed one is listed (only the last three characters
    // count); one ending otherwise is not.
    copy(s_sources->soxWav, "Loop.xwav");
    copy(s_sources->wav, "x.wave");
    testing::writeFile(archive() / "notes.txt", "not audio");
    testing::writeFile(archive() / "short.wav", std::string(1023, 'r'));
    testing::writeFile(archive() / "kilo.mp3", std::string(1024, 'k'));
    fs::create_directory(archive() / "older");
    copy(s_sources->wav, "older/inside.wav");
    // FLAC by its whole extension in any case, its duration from STREAMINFO (also behind an ID3v2
    // tag); a name that only ends in "flac" is not one.
    copy(s_sources->flac, "Master.flac");
    copy(s_sources->taggedFlac, "Tagged.FLAC");
    copy(s_sources->flac, "song.xflac");
    testing::writeFile(archive() / "fake.flac", std::string(5000, 'f'));

    ASSERT_EQ(refreshAndRead(), ArchiveList::RefreshResult::Listed);

    const std::map<QString, QStringList> expected = {
        {"two seconds", {"two seconds", sizeText(s_sources->wav), "wav", "0:02"}},
        {"three", {"three", sizeText(s_sources->mp3), "mp3", "0:03"}},
        {"Sixty Five", {"Sixty Five", sizeText(s_sources->wma), "wma", "1:05"}},
        {"Take", {"Take", sizeText(s_sources->soxWav), "wav", "0:04"}},
        {"Loop.", {"Loop.", sizeText(s_sources->soxWav), "wav", "0:04"}},
        // Not audio at all: no duration can be told.
        {"short", {"short", "0kb", "wav", "0:00"}},
        {"kilo", {"kilo", "1kb", "mp3", "0:00"}},
        {"Master", {"Master", sizeText(s_sources->flac), "flac", "0:04"}},
        {"Tagged", {"Tagged", sizeText(s_sources->taggedFlac), "flac", "0:04"}},
        {"fake", {"fake", "4kb", "flac", "0:00"}},
    };
    std::map<QString, QStringList> rows = rowsByTitle();
    ASSERT_EQ(rows.size(), expected.size());
    std::set<QString> numbers;
    for (auto& [title, texts] : rows) {
        numbers.insert(texts.takeFirst());
        ASSERT_TRUE(expected.count(title)) << title.toStdString();
        EXPECT_EQ(texts.join('|').toStdString(), expected.at(title).join('|').toStdString());
    }
    // Running numbers in list order, four digits.
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
        EXPECT_EQ(m_list->topLevelItem(row)->text(ArchiveList::kNumberColumn), QString::asprintf("%04d", row + 1));
    EXPECT_EQ(ArchiveList::filePath(itemTitled("Take")), QByteArray((archive() / "Take.WAV").c_str()));
    EXPECT_EQ(ArchiveList::filePath(itemTitled("Loop.")), QByteArray((archive() / "Loop.xwav").c_str()));
    EXPECT_EQ(ArchiveList::filePath(itemTitled("Tagged")), QByteArray((archive() / "Tagged.FLAC").c_str()));
}

TEST_F(ArchiveListTest, DeleteRemovesTheSelectedFilesAtTheirRealPaths)
{
    copy(s_sources->soxWav, "Take.WAV");
    copy(s_sources->soxWav, "Loop.xwav");
    copy(s_sources->mp3, "keep.mp3");
    copy(s_sources->flac, "Master.Flac");
    // The lower-case spelling that a name rebuilt from the list would reach, beside the real one.
    copy(s_sources->wav, "Take.wav");
    ASSERT_EQ(m_list->refresh(archiveFolder()), ArchiveList::RefreshResult::Listed);
    const auto takes = m_list->findItems("Take", Qt::MatchExactly, ArchiveList::kTitleColumn);
    ASSERT_EQ(takes.size(), 2);
    for (QTreeWidgetItem* take : takes)
        take->setSelected(ArchiveList::filePath(take).endsWith("Take.WAV"));
    select({"Loop.", "Master"});

    m_boxes.onTitle("Delete Selected", clicking(QMessageBox::Yes));
    const ArchiveList::DeleteOutcome outcome = m_list->deleteSelected(nullptr);

    EXPECT_EQ(outcome.status, ArchiveList::DeleteOutcome::Status::Done);
    EXPECT_TRUE(outcome.failed.isEmpty());
    EXPECT_EQ(outcome.deleted.size(), 3);
    EXPECT_FALSE(fs::exists(archive() / "Take.WAV"));
    EXPECT_FALSE(fs::exists(archive() / "Loop.xwav"));
    EXPECT_FALSE(fs::exists(archive() / "Master.Flac"));
    EXPECT_TRUE(fs::exists(archive() / "Take.wav"));
    EXPECT_TRUE(fs::exists(archive() / "keep.mp3"));
    ASSERT_EQ(m_boxes.seen().size(), 1u);
    // The question reads as it always did, then names the files, each on a line of its own.
    const QString question = m_boxes.seen()[0].text;
    EXPECT_TRUE(question.startsWith("This will delete the Selected Files from the Archive.\n\nAre You Sure?\n\n"));
    EXPECT_TRUE(question.endsWith("\n\nThey are moved to the Trash."));
    const QStringList lines = question.split('\n');
    for (const char* name : {"Take.WAV", "Loop.xwav", "Master.Flac"})
        EXPECT_TRUE(lines.contains(QString::fromLatin1(name))) << name;
    EXPECT_FALSE(lines.contains("Take.wav"));
    // Refreshed: the two files left.
    EXPECT_EQ(m_list->topLevelItemCount(), 2);
}

TEST_F(ArchiveListTest, DeleteKeyMovesTheSelectedFilesToTheTrash)
{
    testing::TrashHome home;
    copy(s_sources->mp3, "first side.mp3");
    copy(s_sources->flac, "second.flac");
    copy(s_sources->wav, "keep.wav");
    ASSERT_EQ(m_list->refresh(archiveFolder()), ArchiveList::RefreshResult::Listed);
    select({"first side", "second"});
    m_boxes.onTitle("Delete Selected", clicking(QMessageBox::Yes));
    m_list->setFocus();
    QTest::keyClick(m_list.get(), Qt::Key_Delete);

    ASSERT_EQ(m_boxes.seen().size(), 1u);
    for (const char* name : {"first side.mp3", "second.flac"}) {
        EXPECT_FALSE(fs::exists(archive() / name)) << name;
        EXPECT_TRUE(fs::exists(home.trashFiles() / name)) << name;
    }
    EXPECT_TRUE(fs::exists(archive() / "keep.wav"));
    EXPECT_EQ(m_list->topLevelItemCount(), 1);
}

TEST_F(ArchiveListTest, WithoutATrashTheFilesAreDeletedForGoodAndTheUserIsTold)
{
    testing::TrashHome home;
    home.withoutTrash();
    copy(s_sources->mp3, "gone.mp3");
    ASSERT_EQ(m_list->refresh(archiveFolder()), ArchiveList::RefreshResult::Listed);
    select({"gone"});
    m_boxes.onTitle("Delete Selected", yesThenClose());
    const ArchiveList::DeleteOutcome outcome = m_list->deleteSelected(nullptr);

    const QString gone = QString::fromStdString((archive() / "gone.mp3").string());
    EXPECT_EQ(outcome.withoutTrash, QStringList {gone});
    ASSERT_EQ(m_boxes.seen().size(), 2u);
    EXPECT_TRUE(m_boxes.seen()[1].text.contains("no Trash")) << m_boxes.seen()[1].text.toStdString();
    EXPECT_TRUE(m_boxes.seen()[1].text.contains(gone));
}

TEST_F(ArchiveListTest, DeleteAnsweredNoOrWithNothingSelectedTouchesNoFile)
{
    copy(s_sources->mp3, "keep.mp3");
    ASSERT_EQ(m_list->refresh(archiveFolder()), ArchiveList::RefreshResult::Listed);
    EXPECT_EQ(m_list->deleteSelected(nullptr).status, ArchiveList::DeleteOutcome::Status::NothingSelected);
    EXPECT_TRUE(m_boxes.seen().empty());

    select({"keep"});
    m_boxes.onTitle("Delete Selected", clicking(QMessageBox::No));
    EXPECT_EQ(m_list->deleteSelected(nullptr).status, ArchiveList::DeleteOutcome::Status::Declined);
    EXPECT_TRUE(fs::exists(archive() / "keep.mp3"));
    EXPECT_EQ(m_boxes.seen().size(), 1u);
}

TEST_F(ArchiveListTest, FileThatCannotBeDeletedIsNamedAndTheOthersStillGo)
{
    copy(s_sources->wav, "first.wav");
    copy(s_sources->wav, "stuck.wav");
    copy(s_sources->wma, "last.wma");
    ASSERT_EQ(m_list->refresh(archiveFolder()), ArchiveList::RefreshResult::Listed);
    select({"first", "stuck", "last"});
    // Between the refresh and Delete another program puts a folder in the file's place: no
    // deletion of a file can remove it, not even as root.
    fs::remove(archive() / "stuck.wav");
    fs::create_directories(archive() / "stuck.wav" / "inside");

    m_boxes.onTitle("Delete Selected", yesThenClose());
    const ArchiveList::DeleteOutcome outcome = m_list->deleteSelected(nullptr);

    const QString stuck = QString::fromStdString((archive() / "stuck.wav").string());
    EXPECT_EQ(outcome.failed, QStringList {stuck});
    EXPECT_EQ(outcome.deleted.size(), 2);
    EXPECT_FALSE(fs::exists(archive() / "first.wav"));
    EXPECT_FALSE(fs::exists(archive() / "last.wma"));
    ASSERT_EQ(m_boxes.seen().size(), 2u);
    EXPECT_TRUE(m_boxes.seen()[1].text.contains(stuck)) << m_boxes.seen()[1].text.toStdString();
    EXPECT_FALSE(m_boxes.seen()[1].text.contains("first.wav"));
}

TEST_F(ArchiveListTest, DoubleClickOpensTheFileAtItsRealPathOrNamesItWhenNothingCan)
{
    copy(s_sources->soxWav, "Café Take.WAV");
    copy(s_sources->mp3, "other.mp3");
    ASSERT_EQ(m_list->refresh(archiveFolder()), ArchiveList::RefreshResult::Listed);
    m_list->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_list.get()));
    const std::string realPath = (archive() / "Café Take.WAV").string();
    {
        testing::FakeOpener desktop(0);
        // The empty area below the items opens nothing.
        doubleClick(QPoint(20, m_list->viewport()->height() - 5));
        doubleClick(m_list->visualItemRect(itemTitled("Café Take")).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop.opened().isEmpty(); }, 10000));
        QTest::qWait(100);
        ASSERT_EQ(desktop.opened().size(), 1);
        EXPECT_EQ(QUrl(desktop.opened().front()).toLocalFile().toStdString(), realPath);
        EXPECT_TRUE(m_boxes.seen().empty());
    }
    testing::FakeOpener failingDesktop(3);
    doubleClick(m_list->visualItemRect(itemTitled("Café Take")).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_boxes.seen().empty(); }, 10000));
    EXPECT_TRUE(m_boxes.seen()[0].text.contains(QString::fromStdString(realPath)));
}

TEST_F(ArchiveListTest, RefreshAskedForDuringARefreshRunsAfterItWithTheNewFolder)
{
    copy(s_sources->wav, "old.wav");
    testing::TemporaryFolder other;
    fs::copy_file(s_sources->mp3, other.path() / "new.mp3");
    const QString otherFolder = QString::fromStdString(other.path().string());
    ArchiveList::RefreshResult inner {};
    QTimer::singleShot(0, m_list.get(), [&] { inner = m_list->refresh(otherFolder); });

    EXPECT_EQ(m_list->refresh(archiveFolder()), ArchiveList::RefreshResult::Listed);
    EXPECT_EQ(inner, ArchiveList::RefreshResult::Deferred);
    ASSERT_EQ(m_list->topLevelItemCount(), 1);
    EXPECT_EQ(m_list->topLevelItem(0)->text(ArchiveList::kTitleColumn), "new");
    EXPECT_EQ(m_list->topLevelItem(0)->text(ArchiveList::kNumberColumn), "0001");
    EXPECT_EQ(m_list->folder(), otherFolder);
    EXPECT_FALSE(m_list->isRefreshing());
}

TEST_F(ArchiveListTest, ListDestroyedDuringItsRefreshEndsTheRefresh)
{
    copy(s_sources->wav, "one.wav");
    copy(s_sources->wav, "two.wav");
    QTimer::singleShot(0, [&] { m_list.reset(); });
    ArchiveList* list = m_list.get();
    EXPECT_EQ(list->refresh(archiveFolder()), ArchiveList::RefreshResult::Abandoned);
    EXPECT_EQ(m_list, nullptr);
}

TEST_F(ArchiveListTest, MissingFolderLeavesTheListEmpty)
{
    copy(s_sources->wav, "one.wav");
    ASSERT_EQ(m_list->refresh(archiveFolder()), ArchiveList::RefreshResult::Listed);
    ASSERT_EQ(m_list->topLevelItemCount(), 1);
    fs::remove_all(archive());
    EXPECT_EQ(m_list->refresh(archiveFolder()), ArchiveList::RefreshResult::FolderUnreadable);
    EXPECT_EQ(m_list->topLevelItemCount(), 0);
}

// A click on a heading sorts by its column, a second click reverses: sizes and durations by
// value (10 kb above 9 kb, 12:00 above 1:05), titles regardless of case.
TEST_F(ArchiveListTest, AClickOnAHeadingSortsByItsColumnAndASecondReverses)
{
    copy(s_sources->longFlac, "beta.flac");
    copy(s_sources->wma, "Alpha.wma");
    copy(s_sources->mp3, "gamma.mp3");
    testing::writeFile(archive() / "delta.wav", std::string(9 * 1024, 'd'));
    testing::writeFile(archive() / "Epsilon.wav", std::string(10 * 1024, 'e'));
    ASSERT_EQ(refreshAndRead(), ArchiveList::RefreshResult::Listed);
    m_list->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_list.get()));
    ASSERT_EQ(itemTitled("beta")->text(ArchiveList::kDurationColumn), "12:00");

    clickHeading(ArchiveList::kTitleColumn);
    EXPECT_EQ(titlesInOrder().join(','), "Alpha,beta,delta,Epsilon,gamma");
    clickHeading(ArchiveList::kTitleColumn);
    EXPECT_EQ(titlesInOrder().join(','), "gamma,Epsilon,delta,beta,Alpha");

    clickHeading(ArchiveList::kSizeColumn);
    const QStringList bySize = titlesInOrder();
    EXPECT_EQ(bySize.mid(0, 2).join(','), "delta,Epsilon");
    for (int row = 1; row < m_list->topLevelItemCount(); ++row)
        EXPECT_LE(fs::file_size(ArchiveList::filePath(m_list->topLevelItem(row - 1)).toStdString()),
                  fs::file_size(ArchiveList::filePath(m_list->topLevelItem(row)).toStdString()));

    clickHeading(ArchiveList::kDurationColumn);
    EXPECT_EQ(titlesInOrder().mid(2).join(','), "gamma,Alpha,beta");
    clickHeading(ArchiveList::kDurationColumn);
    EXPECT_EQ(titlesInOrder().mid(0, 3).join(','), "beta,Alpha,gamma");

    // The numbers go with their files; sorted by them again the list is in the search's order.
    clickHeading(ArchiveList::kNumberColumn);
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
        EXPECT_EQ(m_list->topLevelItem(row)->text(ArchiveList::kNumberColumn), QString::asprintf("%04d", row + 1));
    clickHeading(ArchiveList::kNumberColumn);
    EXPECT_EQ(m_list->topLevelItem(0)->text(ArchiveList::kNumberColumn), "0005");
}

// Files another program adds to or removes from the folder appear and go without a refresh being
// asked for; the selection stays on its file.
TEST_F(ArchiveListTest, FilesAddedOrRemovedByAnotherProgramAppearAndGo)
{
    copy(s_sources->mp3, "kept.mp3");
    ASSERT_EQ(refreshAndRead(), ArchiveList::RefreshResult::Listed);
    select({"kept"});

    copy(s_sources->flac, "arrived.flac");
    ASSERT_TRUE(testing::pumpUntil([&] { return itemTitled("arrived") != nullptr && !m_list->durationsPending(); },
                                   std::chrono::seconds(10)));
    EXPECT_EQ(itemTitled("arrived")->text(ArchiveList::kDurationColumn), "0:04");
    EXPECT_TRUE(itemTitled("kept")->isSelected());
    EXPECT_FALSE(itemTitled("arrived")->isSelected());

    fs::remove(archive() / "arrived.flac");
    ASSERT_TRUE(testing::pumpUntil([&] { return itemTitled("arrived") == nullptr; }, std::chrono::seconds(10)));
    EXPECT_EQ(m_list->topLevelItemCount(), 1);
}

// The refresh lists the names and returns while the durations are still being read (here held
// back until released), so the window never waits for the files' headers; they are filled in
// later, and a second refresh of unchanged files reads none again.
TEST_F(ArchiveListTest, TheRefreshReturnsBeforeTheDurationsAreRead)
{
    for (int index = 0; index < 300; ++index)
        copy(s_sources->wav, "take " + std::to_string(index) + ".wav");
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto reads = std::make_shared<std::atomic<int>>(0);
    m_list->setDurationReadFunction([released, reads](const QByteArray& path) {
        // A deadline, so that a failing test never hangs.
        released.wait_for(std::chrono::seconds(20));
        ++*reads;
        return ArchiveList::readDuration(path);
    });

    ASSERT_EQ(m_list->refresh(archiveFolder()), ArchiveList::RefreshResult::Listed);
    EXPECT_EQ(m_list->topLevelItemCount(), 300);
    EXPECT_TRUE(m_list->durationsPending());
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
        EXPECT_EQ(m_list->topLevelItem(row)->text(ArchiveList::kDurationColumn), "");

    release.set_value();
    ASSERT_TRUE(testing::pumpUntil([&] { return !m_list->durationsPending(); }));
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
        EXPECT_EQ(m_list->topLevelItem(row)->text(ArchiveList::kDurationColumn), "0:02");
    EXPECT_EQ(reads->load(), 300);

    ASSERT_EQ(m_list->refresh(archiveFolder()), ArchiveList::RefreshResult::Listed);
    EXPECT_FALSE(m_list->durationsPending());
    EXPECT_EQ(itemTitled("take 7")->text(ArchiveList::kDurationColumn), "0:02");
    EXPECT_EQ(reads->load(), 300);
}

}
}
