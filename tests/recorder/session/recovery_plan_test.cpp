// The start-up's recovery plan over the states a crash or a kill can leave in the data folder.

#include "session/recovery_plan.h"

#include <gtest/gtest.h>

namespace wavelark {
namespace {

constexpr uint32_t kThreeSeconds = 3 * 176400;

struct PlanCase {
    const char* name;
    RecoveryFindings found;
    FinishAs finish;
    bool keepSelection;
    bool removeImportSideFile;
    bool removeTake;
    bool removePeakCache;
    bool removeTakeMark;
    bool clearSave;
    RecoveryMessage message;
};

class RecoveryPlanTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(RecoveryPlanTest, SaysWhatToFinishRemoveAndTell)
{
    const PlanCase& c = GetParam();
    const RecoveryPlan plan = planRecovery(c.found);
    EXPECT_EQ(plan.finish, c.finish);
    EXPECT_EQ(plan.keepSelection, c.keepSelection);
    EXPECT_EQ(plan.removeImportSideFile, c.removeImportSideFile);
    EXPECT_EQ(plan.removeTake, c.removeTake);
    EXPECT_EQ(plan.removePeakCache, c.removePeakCache);
    EXPECT_EQ(plan.removeTakeMark, c.removeTakeMark);
    EXPECT_EQ(plan.clearSave, c.clearSave);
    EXPECT_EQ(plan.message, c.message);
}

using M = TakeMarkFound;
using J = JournalFound;
using F = FinishAs;
using R = RecoveryMessage;

INSTANTIATE_TEST_SUITE_P(
    States, RecoveryPlanTest,
    ::testing::Values(
        // name, {mark, side file, saving mark, journal, take, length}, finish, keep selection,
        // remove side, remove take, remove cache, remove mark, clear save, message
        PlanCase{"NothingInterrupted", {M::None, false, false, J::Absent, true, kThreeSeconds}, F::Nothing, true,
                 false, false, false, false, false, R::None},
        PlanCase{"Recording", {M::Recording, false, false, J::Absent, true, kThreeSeconds}, F::Recording, false,
                 false, false, false, true, false, R::RecordingFinished},
        PlanCase{"RecordingThatKeptAnEmptyTake", {M::Recording, false, false, J::Absent, true, 0}, F::Nothing, false,
                 false, true, true, true, false, R::RecordingEmpty},
        PlanCase{"RecordingWithoutATake", {M::Recording, false, false, J::Absent, false, 0}, F::Nothing, false, false,
                 false, true, true, false, R::RecordingEmpty},
        PlanCase{"ImportWithItsSideFile", {M::Import, true, false, J::Absent, true, kThreeSeconds}, F::Nothing, true,
                 true, false, false, true, false, R::ImportKeptTake},
        // Killed after the mark was written, before the side file existed: the take is untouched.
        PlanCase{"ImportBeforeItsSideFile", {M::Import, false, false, J::Absent, true, kThreeSeconds}, F::Nothing,
                 true, false, false, false, true, false, R::ImportKeptTake},
        PlanCase{"ImportBeforeItsSideFileWithoutATake", {M::Import, false, false, J::Absent, false, 0}, F::Nothing,
                 true, false, false, false, true, false, R::ImportKeptNoTake},
        PlanCase{"ImportReplacingBeforeTheRename", {M::ImportReplacing, true, false, J::Absent, true, kThreeSeconds},
                 F::Nothing, true, true, false, false, true, false, R::ImportKeptTake},
        PlanCase{"ImportAfterTheRename", {M::ImportReplacing, false, false, J::Absent, true, kThreeSeconds}, F::Import,
                 false, false, false, false, true, false, R::ImportFinished},
        PlanCase{"ImportAfterTheRenameOfNothing", {M::ImportReplacing, false, false, J::Absent, true, 0}, F::Nothing,
                 false, false, true, true, true, false, R::ImportEmpty},
        PlanCase{"ImportKilledInItsMaximise", {M::ImportReplacing, false, false, J::Present, true, kThreeSeconds},
                 F::Import, false, false, false, false, true, false, R::ImportFinished},
        // A maximise of the old take that was itself interrupted is finished first.
        PlanCase{"ImportBeforeItsSideFileOverAnUnfinishedMaximise",
                 {M::Import, true, false, J::Present, true, kThreeSeconds}, F::Import, false, true, false, false, true,
                 false, R::ImportKeptTake},
        PlanCase{"Saving", {M::None, false, true, J::Absent, true, kThreeSeconds}, F::Nothing, true, false, false,
                 false, false, true, R::None},
        PlanCase{"SavingAfterARecording", {M::Recording, false, true, J::Absent, true, kThreeSeconds}, F::Recording,
                 false, false, false, false, true, true, R::RecordingFinished},
        PlanCase{"JournalAlone", {M::None, false, false, J::Present, true, kThreeSeconds}, F::Recording, false, false,
                 false, false, false, false, R::None},
        // The finish finds the damage, reports it and keeps the take as it stands.
        PlanCase{"DamagedJournal", {M::None, false, false, J::Damaged, true, kThreeSeconds}, F::Recording, false,
                 false, false, false, false, false, R::None},
        PlanCase{"JournalWithoutATake", {M::None, false, false, J::Present, false, 0}, F::Nothing, true, false, false,
                 false, false, false, R::None}),
    [](const ::testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

TEST(RecoveryMessageTest, TextsAndCaptions)
{
    EXPECT_EQ(recoveryMessageText(R::RecordingFinished, QStringLiteral("0:03")),
              QStringLiteral("The last recording was interrupted before it was stopped.\n\nIts take has been "
                             "recovered and finished as Stop would have done: 0:03 of audio."));
    EXPECT_EQ(recoveryMessageText(R::ImportFinished, QStringLiteral("0:05")),
              QStringLiteral("The last import was interrupted after its audio replaced the take.\n\nThe take has "
                             "been finished as the import would have done: 0:05 of audio."));
    EXPECT_TRUE(recoveryMessageText(R::None, QString()).isEmpty());
    EXPECT_EQ(recoveryMessageCaption(R::RecordingEmpty), QStringLiteral("RECORD"));
    for (const R message : {R::ImportKeptTake, R::ImportKeptNoTake, R::ImportFinished, R::ImportEmpty})
        EXPECT_EQ(recoveryMessageCaption(message), QStringLiteral("IMPORT"));
}

}
}
