// The burn window's decisions on virtual writers: which controls a disc
// enables, the questions and refusals of Start, a burn and a cancelled burn
// on the write thread, erasing, the tray toggle and the cancel question.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>

#include "AudioCheck.h"
#include "WriterRig.h"
#include "support/Messages.h"
#include "support/ScriptedDialogs.h"
#include "writer/BurnController.h"
#include "writer/WriteThread.h"

using namespace sv;
using namespace wtest;

namespace {

// A CD-format WAV of `sectors` sectors of silence.
std::string SilentWav(const Rig& rig, const std::string& name, std::uint32_t sectors) {
    const std::string path = rig.dir.Slash() + name;
    svtest::WriteCdWav(path, Bytes(static_cast<std::size_t>(sectors) * kSectorBytes, 0));
    return path;
}

// The window's thread as a queue the test drains after the worker ended.
struct Queue {
    std::mutex mutex;
    std::vector<std::function<void()>> tasks;
    TWriteThread::Post Poster() {
        return [this](std::function<void()> task) {
            std::lock_guard lock(mutex);
            tasks.push_back(std::move(task));
        };
    }
    void Drain() {
        std::lock_guard lock(mutex);
        for (auto& t : tasks) t();
        tasks.clear();
    }
};

struct Session {
    std::unique_ptr<Rig> rig;
    BurnCompilation compilation;
    TWriteSettings settings = TWriteSettings::Defaults();
    svtest::ScriptedDialogs dialogs;
    std::unique_ptr<BurnController> controller;
    explicit Session(const std::vector<std::string>& lines) : rig(MakeRig(lines)) {
        rig->writer->EnumerateDrives();
        controller = std::make_unique<BurnController>(*rig->writer, compilation, settings, dialogs);
    }
};

}  // namespace

class BurnControllerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { svtest::UseRussianMessages(); }
};

// Each kind of disc, and the image entry, enables its own controls.
TEST_F(BurnControllerTest, RefreshEnablesTheControlsTheDiscAllows) {
    Session s({"writer cdr", "writer cdrw", "writer cdrw-written", "writer cdr no-test-write"});
    ASSERT_EQ(s.controller->Entries().size(), 5u);
    EXPECT_EQ(s.controller->Entries().back().text, "WAVE (44,1 kHz 16bit Stereo)");
    struct Case {
        const char* what;
        BurnControls controls;  // start, test, quick erase, full erase, eject
    } cases[] = {
        {"blank CD-R", {true, true, false, false, true}},
        {"blank CD-RW", {true, true, false, true, true}},
        {"written CD-RW", {false, false, true, true, true}},
        {"CD-R, no test write", {true, false, false, false, true}},
        {"image entry", {false, true, false, false, false}},
    };
    for (int entry = 0; entry < 5; ++entry) {
        SCOPED_TRACE(cases[entry].what);
        ASSERT_TRUE(s.controller->ChangeDrive(entry));
        EXPECT_EQ(s.settings.DriveEntry(), entry);
        EXPECT_EQ(s.controller->ImageMode(), entry == 4);
        EXPECT_EQ(s.controller->Refresh(), cases[entry].controls);
    }
    EXPECT_FALSE(s.controller->ChangeDrive(5));
    // No disc: nothing but eject.
    s.controller->ChangeDrive(0);
    s.rig->Drive(0).OpenTray();
    EXPECT_EQ(s.controller->Refresh(), (BurnControls{false, false, false, false, true}));
}

// Start's questions and refusals, in their order, each ending the start.
TEST_F(BurnControllerTest, StartAsksAndRefusesBeforeAnythingIsWritten) {
    Session s({"writer cdr capacity 20000", "writer cdr no-test-write", "writer cdrw-written"});
    // 355500 sectors are 79:00:00: 90 files of 3950 sectors, or 89 and one a
    // sector shorter for 78:59:74.
    const std::string full = SilentWav(*s.rig, "full.wav", 3950), shorter = SilentWav(*s.rig, "short.wav", 3949);
    auto never = [] { return std::optional<std::string>(); };
    BurnJob job;
    s.dialogs.ExpectMessage("Добавьте файлы");
    EXPECT_EQ(s.controller->PrepareStart(false, never, job), StartEnd::Empty);

    for (int i = 0; i < 89; ++i) s.compilation.AddFile(full);
    s.compilation.AddFile(shorter);
    ASSERT_EQ(s.compilation.Totals().timeText, "78:59:74");
    s.settings.SetAskBeforeDiscOperations(true);
    s.dialogs.ExpectYesNo("Начать запись?", false);  // no R79 below 79 minutes
    EXPECT_EQ(s.controller->PrepareStart(false, never, job), StartEnd::NotConfirmed);

    s.compilation.Remove(89);
    s.compilation.AddFile(full);
    ASSERT_EQ(s.compilation.Totals().timeText, "79:00:00");
    s.dialogs.ExpectYesNo("79 минут", false);
    EXPECT_EQ(s.controller->PrepareStart(false, never, job), StartEnd::TooLongDeclined);
    s.dialogs.ExpectYesNo("79 минут", true).ExpectYesNo("Начать запись?", false);
    EXPECT_EQ(s.controller->PrepareStart(false, never, job), StartEnd::NotConfirmed);
    s.settings.SetAskBeforeDiscOperations(false);

    // A 20000-sector disc cannot take the lead-out: R83 (warning).
    s.dialogs.ExpectYesNo("79 минут", true).ExpectMessage("таблицу размещения");
    EXPECT_EQ(s.controller->PrepareStart(false, never, job), StartEnd::CueSheetRefused);
    // A test burn on a drive that cannot test-write: R82 (information).
    s.compilation.Clear();
    s.compilation.AddFile(shorter);
    s.controller->ChangeDrive(1);
    s.dialogs.ExpectMessage("страницу режима записи");
    EXPECT_EQ(s.controller->PrepareStart(true, never, job), StartEnd::ParametersRefused);
    // A written disc takes no cue sheet.
    s.controller->ChangeDrive(2);
    s.dialogs.ExpectMessage("таблицу размещения");
    EXPECT_EQ(s.controller->PrepareStart(false, never, job), StartEnd::CueSheetRefused);
    // The image entry: cancelling the file dialog ends it silently.
    s.controller->ChangeDrive(3);
    EXPECT_EQ(s.controller->PrepareStart(false, never, job), StartEnd::NoImageFile);
    EXPECT_TRUE(s.dialogs.Done());
    EXPECT_EQ(s.dialogs.Icons(), (std::vector<MessageIcon>{MessageIcon::Information, MessageIcon::Question,
                                                           MessageIcon::Question, MessageIcon::Question,
                                                           MessageIcon::Question, MessageIcon::Question,
                                                           MessageIcon::Warning, MessageIcon::Information,
                                                           MessageIcon::Warning}));
    for (int d = 0; d < 3; ++d) EXPECT_TRUE(s.rig->Drive(d).LastBurnCue().empty());
}

// A burn on the write thread ends with the disc written, the tray unlocked
// and ejected when asked; a cancel answered from the progress reports still
// closes the session and unlocks the tray, and a test burn ejects nothing.
TEST_F(BurnControllerTest, BurnAndCancelOnTheWriteThread) {
    for (const bool cancelIt : {false, true}) {
        SCOPED_TRACE(cancelIt ? "cancelled test burn" : "burn");
        Session s({"writer cdr"});
        s.settings.SetEjectAfterBurning(true);
        s.settings.writeCdText = !cancelIt;  // the CD-TEXT setting reaches the cue sheet's lead-in entry
        s.compilation.AddFile(SilentWav(*s.rig, "a.wav", 300));
        s.compilation.AddFile(SilentWav(*s.rig, "b.wav", 200));
        ASSERT_TRUE(s.controller->Refresh().start);
        BurnJob job;
        ASSERT_EQ(s.controller->PrepareStart(cancelIt, {}, job), StartEnd::Ready);
        EXPECT_EQ(job.totalSectors, 500u);
        EXPECT_EQ(job.caption, cancelIt ? "Тестовая запись ..." : "Запись диска ...");

        Queue queue;
        std::atomic<bool> cancel{false};
        std::vector<std::string> seen;
        int lastTotal = -1, lastTrack = -1;
        WriteThreadSink sink;
        sink.caption = [&](const std::string& t) { seen.push_back("caption " + t); };
        sink.status = [&](const std::string& t) { seen.push_back("status " + t); };
        sink.progress = [&](ProgressBars bars, int, bool) {
            if (bars.total) lastTotal = *bars.total;
            if (bars.track) lastTrack = *bars.track;
        };
        std::optional<WriteOutcome> outcome;
        sink.done = [&](WriteOutcome o) { outcome = o; };
        TWriteThread thread(queue.Poster(), sink);
        cancel = cancelIt;  // answered Yes to R84 before the first block
        ASSERT_TRUE(thread.StartBurn(*s.controller, *s.rig->writer, job, cancel));
        thread.Join();
        EXPECT_FALSE(thread.Running());
        EXPECT_FALSE(outcome.has_value());  // nothing reaches the window before its thread runs the queue
        queue.Drain();
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(*outcome, cancelIt ? WriteOutcome::Cancelled : WriteOutcome::Completed);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.front(), "caption " + job.caption);
        EXPECT_EQ(seen.back(), "status Запись Lead-Out ...");
        EXPECT_FALSE(s.rig->Drive().Locked());
        for (const RecordedCommand& c : s.rig->Drive().Commands()) {
            if (c.cdb[0] == 0x5D) {
                EXPECT_EQ(c.dataOut.at(3), cancelIt ? 0x01 : 0x41);
            }
        }
        if (cancelIt) {
            const auto cdbs = CdbsOf(s.rig->Drive().Commands());
            ASSERT_GE(cdbs.size(), 3u);
            EXPECT_EQ(cdbs[cdbs.size() - 2], (Bytes{0x5B, 0, 0x02, 0, 0, 0, 0, 0, 0, 0}));  // session closed
            EXPECT_EQ(cdbs.back(), (Bytes{0x1E, 0, 0, 0, 0, 0}));                          // then unlocked
            EXPECT_FALSE(s.rig->Drive().TrayOpen());
        } else {
            EXPECT_EQ(lastTotal, 100);
            EXPECT_EQ(lastTrack, 100);
            EXPECT_FALSE(s.rig->Drive().Blank());
            EXPECT_TRUE(s.rig->Drive().TrayOpen());
        }
    }
}

// The image entry writes a WAV of the whole compilation, also for a test
// burn, with its cue file beside it.
TEST_F(BurnControllerTest, ImageEntryWritesTheWaveAndItsCueEvenForATestBurn) {
    Session s({"writer cdr"});
    s.settings.SetWriteImageCue(true);
    s.compilation.AddFile(SilentWav(*s.rig, "a.wav", 300));
    s.compilation.AddFile(SilentWav(*s.rig, "b.wav", 76));
    s.controller->ChangeDrive(1);
    const std::string image = s.rig->dir.Slash() + "disc.wav";
    BurnJob job;
    ASSERT_EQ(s.controller->PrepareStart(true, [&] { return std::optional<std::string>(image); }, job),
              StartEnd::Ready);
    EXPECT_FALSE(job.ejectAfter);
    std::atomic<bool> cancel{false};
    EXPECT_EQ(s.controller->RunBurn(job, cancel), WriteOutcome::Completed);
    EXPECT_EQ(std::filesystem::file_size(image), 48u + 376u * 2352u);  // an 18-byte fmt chunk
    std::ifstream cue(s.rig->dir.Slash() + "disc.cue");
    const std::string text((std::istreambuf_iterator<char>(cue)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "FILE \"disc.wav\" WAVE\n\tTRACK 01 AUDIO\n\t\tINDEX 01 00:00:00\n"
                    "\tTRACK 02 AUDIO\n\t\tINDEX 01 00:04:00\n");
    EXPECT_TRUE(s.rig->Drive().Blank());
}

// Erase asks its questions, blanks on the write thread, and Refresh then
// shows a blank disc; eject and load alternate by the shared counter.
TEST_F(BurnControllerTest, EraseEjectAndTheCancelQuestion) {
    Session s({"writer cdrw-written"});
    s.settings.SetAskBeforeDiscOperations(true);
    s.controller->Refresh();
    s.dialogs.ExpectYesNo("быструю чистку", false);
    EXPECT_FALSE(s.controller->ConfirmErase(false, true));
    EXPECT_TRUE(s.controller->ConfirmErase(false, false));  // not from a control: no question

    Queue queue;
    std::optional<WriteOutcome> outcome;
    TWriteThread thread(queue.Poster(), WriteThreadSink{{}, {}, {}, [&](WriteOutcome o) { outcome = o; }});
    ASSERT_TRUE(thread.StartErase(*s.controller, false));
    thread.Join();
    queue.Drain();
    EXPECT_EQ(outcome, WriteOutcome::Completed);
    EXPECT_TRUE(s.rig->Drive().Blank());
    EXPECT_EQ(s.controller->Refresh(), (BurnControls{true, true, false, true, true}));
    // A full erase of a blank disc asks R75 first.
    s.dialogs.ExpectYesNo("Диск чист", true).ExpectYesNo("полную чистку", false);
    EXPECT_FALSE(s.controller->ConfirmErase(true, true));

    BurnController::ResetEjectToggle();
    s.controller->EjectOrLoad();
    EXPECT_TRUE(s.rig->Drive().TrayOpen());
    s.controller->EjectOrLoad();
    EXPECT_FALSE(s.rig->Drive().TrayOpen());
    s.rig->Drive().OpenTray();  // opened at the drive: the next press loads
    s.controller->EjectOrLoad();
    EXPECT_FALSE(s.rig->Drive().TrayOpen());

    std::atomic<bool> cancel{false};
    s.dialogs.ExpectYesNo("Отмена?", false).ExpectYesNo("Отмена?", true);
    s.controller->AskCancel(cancel);
    EXPECT_FALSE(cancel);
    s.controller->AskCancel(cancel);
    EXPECT_TRUE(cancel);
    s.controller->AskCancel(cancel);  // already cancelled: no question
    EXPECT_TRUE(s.dialogs.Done());
}

TEST(BurnProgressBars, TrackAndTotalBars) {
    struct Case {
        std::uint32_t sector, start, end, total;
        std::optional<int> track, totalBar;
    } cases[] = {
        {1000, 1000, 2000, 5000, 0, 20},  // (2000-1000)/10 = 100 left
        {1500, 1000, 2000, 5000, 50, 30},
        {2000, 1000, 2000, 5000, 100, 40},
        {150, 100, 199, 99, std::nullopt, std::nullopt},  // under 100 sectors: the bars keep their values
        {5000, 4000, 5000, 5000, 100, 100},
    };
    for (const auto& c : cases) {
        const ProgressBars b = ProgressBarsFor(c.sector, c.start, c.end, c.total);
        EXPECT_EQ(b.track, c.track) << c.sector;
        EXPECT_EQ(b.total, c.totalBar) << c.sector;
    }
}
