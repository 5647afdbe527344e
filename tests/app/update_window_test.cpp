#include <gtest/gtest.h>

#include "tests/app/window_harness.h"
#include "tests/support/windows_files.h"

namespace {

const std::wstring kUpToDate = L"Tervane Connect is up to date.\r\n\r\nInstalled version: 1.0.0";
const std::wstring kUpdateTitle = L"Tervane Connect Update";
const std::wstring kNewer =
    L"A newer version of Tervane Connect is available.\r\n\r\nInstalled: 1.0.0\r\nAvailable: ";

// This test program's folder recorded as a per-user installation, as the installer writes it.
std::wstring SelfPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

void RegisterAsInstalled() {
    std::wstring folder = SelfPath();
    folder.erase(folder.find_last_of(L'\\'));
    const DWORD one = 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, kInstallKey, L"Installed", REG_DWORD, &one, sizeof one);
    RegSetKeyValueW(HKEY_CURRENT_USER, kInstallKey, L"InstallMode", REG_SZ, L"currentuser",
                    sizeof L"currentuser");
    RegSetKeyValueW(HKEY_CURRENT_USER, kInstallKey, L"InstallPath", REG_SZ, folder.c_str(),
                    static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

class UpdateWindowTest : public WindowTest {
protected:
    // Portable unless told otherwise: the test program is in no installation entry.
    void Open(InstallMode mode = InstallMode::None) {
        WindowTest::Open();
        w->app().installMode = mode;
    }

    // The title bar menu's "Check for updates...", then everything it leads to.
    std::vector<SeenDialog> CheckFromMenu() {
        const int before = Updates().checks();
        PostMessageW(w->app().window, WM_SYSCOMMAND, IDM_CHECK_FOR_UPDATES, 0);
        WizardApp& a = w->app();
        EXPECT_TRUE(w->PumpUntil([&a, before] {
            return Updates().checks() > before && !a.updateCheckBusy && !a.updateDownloadBusy;
        }));
        w->Pump(100);
        return Answerer().Take();
    }
};

TEST_F(UpdateWindowTest, EachCheckOutcomeShowsItsDialog) {
    struct Case {
        ScriptedUpdates::Script script;
        std::wstring title;
        std::wstring text;
        SeenDialog::Icon icon;
        int answer = IDNO;
    };
    ScriptedUpdates::Script failed;
    failed.checkOk = false;
    failed.checkError = L"The update server returned HTTP 302.";
    ScriptedUpdates::Script failedSilently = failed;
    failedSilently.checkError.clear();
    ScriptedUpdates::Script nothing;
    nothing.noPublishedUpdate = true;
    const ScriptedUpdates::Script same = Offering(L"1.0.0.0"), newerPortable = Offering(L"1.0.1"),
                                  withNotes = Offering(L"1.0.0.1", L"Faster set-up.");
    const std::wstring portableQuestion =
        L"\r\n\r\nThis is a portable copy, so it will not replace itself automatically.\r\n"
        L"Open the portable update download in your browser?";
    const Case cases[] = {
        {failed, L"Tervane Connect", L"The update server returned HTTP 302.", SeenDialog::Warning},
        {failedSilently, L"Tervane Connect", L"Could not check for updates.", SeenDialog::Warning},
        {nothing, L"Tervane Connect", L"No published update is currently available.",
         SeenDialog::Information},
        {same, L"Tervane Connect", kUpToDate + L"\r\nLatest version: 1.0.0.0",
         SeenDialog::Information},
        {withNotes, kUpdateTitle,
         kNewer + L"1.0.0.1\r\n\r\nRelease notes:\r\nFaster set-up." + portableQuestion,
         SeenDialog::Information},
        // A portable copy only opens the download in the browser.
        {newerPortable, kUpdateTitle, kNewer + L"1.0.1" + portableQuestion, SeenDialog::Information,
         IDYES},
    };
    Open();
    for (const Case& c : cases) {
        Updates().Reset(c.script);
        Answerer().AnswerQuestionsWith(c.answer);
        EXPECT_EQ(CheckFromMenu(), (Dialogs{{c.title, c.text, c.icon}}));
        EXPECT_EQ(Updates().checkedAsInstalled(), std::vector<bool>{false});
        EXPECT_EQ(Updates().openedUrls(),
                  c.answer == IDYES ? std::vector<std::wstring>{c.script.info.download_url}
                                    : std::vector<std::wstring>{});
        EXPECT_EQ(Updates().fetches(), 0);
    }
}

TEST_F(UpdateWindowTest, StartUpCheckRunsOnlyForInstalledCopiesAndSpeaksOnlyOfANewerBuild) {
    struct Case {
        bool installed;
        ScriptedUpdates::Script script;
        bool offered;
    };
    ScriptedUpdates::Script failed;
    failed.checkOk = false;
    const ScriptedUpdates::Script same = Offering(L"1.0.0"), newer = Offering(L"1.0.1");
    const Case cases[] = {
        {false, newer, false},
        {true, failed, false},
        {true, same, false},
        {true, newer, true},
    };
    const std::wstring kOffer = kNewer + L"1.0.1\r\n\r\nDownload and install this update?";
    for (const Case& c : cases) {
        Updates().Reset(c.script);
        RegDeleteTreeW(HKEY_CURRENT_USER, kInstallKey);
        if (c.installed) {
            RegisterAsInstalled();
        }
        WindowTest::Open();
        WizardApp& a = w->app();
        ASSERT_TRUE(w->PumpUntil([&a] { return !a.updateCheckBusy; }));
        w->Pump(100);
        EXPECT_EQ(Updates().checkedAsInstalled(),
                  c.installed ? std::vector<bool>{true} : std::vector<bool>{});
        const Dialogs offer{{kUpdateTitle, kOffer, SeenDialog::Information}};
        EXPECT_EQ(Answerer().Take(), c.offered ? offer : Dialogs{})
            << c.installed << " " << c.script.info.version;
        w.reset();
    }
}

TEST_F(UpdateWindowTest, AcceptedUpdateIsHandedToTheHelperAndTheProgramCloses) {
    Updates().Reset(Offering(L"1.0.1"));
    Open(InstallMode::AllUsers);
    Answerer().AnswerQuestionsWith(IDYES);
    ASSERT_EQ(CheckFromMenu().size(), 1u) << "no dialog after the question when the wizard is idle";
    ASSERT_TRUE(w->PumpUntil([this] { return w->app().window == nullptr; }))
        << "the program closes for the helper";

    const std::vector<ScriptedUpdates::Launch> launches = Updates().launches();
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].installerPath, Updates().fetchedFiles().at(0));
    EXPECT_TRUE(launches[0].installerPresent);
    EXPECT_EQ(launches[0].mode, InstallMode::AllUsers);
    EXPECT_EQ(launches[0].parentProcessId, GetCurrentProcessId());
    EXPECT_EQ(launches[0].appPath, SelfPath());
    EXPECT_TRUE(Exists(launches[0].installerPath)) << "the installer stays for the helper";
    EXPECT_GE(w->backend().disconnects(), 1);
}

// The verified installer is deleted and the program stays whenever the helper does not take it.
TEST_F(UpdateWindowTest, FailedDownloadOrHelperLaunchReportsItsSentenceAndKeepsTheProgram) {
    const struct {
        bool fetchOk;
        std::wstring error;
        InstallMode modeAtLaunch;
        std::wstring shown;  // empty: no dialog after the question, no launch
    } cases[] = {
        {false, L"", InstallMode::CurrentUser, L"The update could not be downloaded or verified."},
        {true, L"Could not start the update helper.", InstallMode::CurrentUser,
         L"Could not start the update helper."},
        {true, L"", InstallMode::CurrentUser, L"Could not start the update installer."},
        // The copy stopped counting as installed while downloading: the file is simply dropped.
        {true, L"", InstallMode::None, L""},
    };
    Open(InstallMode::CurrentUser);
    Answerer().AnswerQuestionsWith(IDYES);
    WizardApp& a = w->app();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.shown));
        ScriptedUpdates::Script script = Offering(L"1.0.1");
        script.fetchOk = c.fetchOk;
        script.fetchError = script.launchError = c.error;
        script.launchOk = false;
        Updates().Reset(script);
        Updates().fetchGate.Hold(true);
        a.installMode = InstallMode::CurrentUser;
        PostMessageW(a.window, WM_SYSCOMMAND, IDM_CHECK_FOR_UPDATES, 0);
        ASSERT_TRUE(w->PumpUntil([] { return Updates().fetches() == 1; }));
        a.installMode = c.modeAtLaunch;
        Updates().fetchGate.Hold(false);
        ASSERT_TRUE(w->PumpUntil([&a] { return !a.updateDownloadBusy; }));
        w->Pump(100);
        const Dialogs seen = Answerer().Take();
        ASSERT_EQ(seen.size(), c.shown.empty() ? 1u : 2u);
        if (!c.shown.empty()) {
            EXPECT_EQ(seen[1], (SeenDialog{kUpdateTitle, c.shown, SeenDialog::Error}));
        }
        EXPECT_EQ(Updates().launches().size(), c.fetchOk && !c.shown.empty() ? 1u : 0u);
        for (const std::wstring& file : Updates().fetchedFiles()) {
            EXPECT_FALSE(Exists(file));
        }
        EXPECT_FALSE(a.updateReady);
        EXPECT_TRUE(a.pendingInstallerPath.empty());
        EXPECT_TRUE(IsWindow(a.window));
    }
    EXPECT_TRUE(w->Close()) << "an idle program closes again";
}

TEST_F(UpdateWindowTest, UpdateReadyDuringABaseUnitScanIsAppliedOnlyAfterTheScanEnds) {
    Updates().Reset(Offering(L"1.0.1"));
    Open(InstallMode::CurrentUser);
    LogInAndReachBaseUnits(*w);
    Answerer().Take();

    w->backend().gate.Hold(true);
    ASSERT_TRUE(w->Click(kRefreshBaseUnitsButton));
    ASSERT_TRUE(w->PumpUntil([this] { return w->backend().gate.Waiting(); }));
    Answerer().AnswerQuestionsWith(IDYES);
    const Dialogs seen = CheckFromMenu();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], (SeenDialog{kUpdateTitle,
                                   L"The update is ready. It will be installed when the current "
                                   L"base-unit operation has finished.",
                                   SeenDialog::Information}));
    EXPECT_TRUE(w->app().updateReady);

    // Several timer periods pass while the scan runs, and a second accepted update is ignored.
    Answerer().AnswerQuestionsWith(IDYES);
    CheckFromMenu();
    w->Pump(1200);
    EXPECT_TRUE(Updates().launches().empty());
    EXPECT_EQ(Updates().fetches(), 1);
    EXPECT_FALSE(w->Close()) << "closing waits for the scan";
    Answerer().Take();

    w->backend().gate.Hold(false);
    ASSERT_TRUE(w->WaitIdle());
    ASSERT_TRUE(w->PumpUntil([] { return !Updates().launches().empty(); }, 3000));
    EXPECT_TRUE(w->PumpUntil([this] { return w->app().window == nullptr; }));
}

}  // namespace
