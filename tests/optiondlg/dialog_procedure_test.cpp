// The one dialog procedure: it knows each open dialog by its window, forwards every message to that
// object, forgets the window when it is destroyed, and serves dialogs opened from inside others. Driven
// through the platform's stand-in dialog, whose answers come from a script.
#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "optiondlg/AEFxOptionDialog.h"
#include "optiondlg/DialogBase.h"
#include "optiondlg/OptionDialogIds.h"
#include "tests/optiondlg/OptionDialogFixture.h"

namespace optiondlg_test {
namespace {

using FxOptionDlg::DialogBase;
using FxOptionDlg::DialogOfWindow;
using platform::WindowHandle;

// Records what reaches it; a command of the store button opens a second dialog over this one.
class RecordingDialog : public DialogBase {
public:
    RecordingDialog(WindowHandle parent, bool endOnClose = true)
        : DialogBase(IDD_OPTION, nullptr, parent, "Recording"), endOnClose_(endOnClose) {}

    std::intptr_t OnInitDialog(WindowHandle window) override {
        log.push_back("init");
        window_ = window;
        mappedAtInit = DialogOfWindow(window);
        if (moveTo)
            platform::MoveWindowTo(window, moveTo->left, moveTo->top, moveTo->right - moveTo->left,
                                   moveTo->bottom - moveTo->top, true);
        else
            CenterOnParent(window);
        platform::GetWindowRectangle(window, &rectAfterInit);
        return 0;
    }
    std::intptr_t OnCommand(WindowHandle window, std::uintptr_t, int id) override {
        log.push_back("command " + std::to_string(id));
        if (id == IDC_STORE_DEFAULTS) {
            RecordingDialog inner(window);
            inner.endWith = 7;
            innerResult = inner.DoModal();
            innerLog = inner.log;
            innerRect = inner.rectAfterInit;
            innerWindow = inner.window_;
            outerMappedDuringInner = DialogOfWindow(window);
            return 0;
        }
        if (id == IDC_RESTORE_DEFAULTS || id == platform::kIdOk) {
            platform::EndModalDialog(window, endWith);
            return 0;
        }
        return 1;
    }
    std::intptr_t OnClose(WindowHandle window) override {
        log.push_back("close");
        return endOnClose_ ? DialogBase::OnClose(window) : 0;
    }
    std::intptr_t OnDestroy(WindowHandle window) override {
        log.push_back("destroy");
        mappedAtDestroy = DialogOfWindow(window);
        return DialogBase::OnDestroy(window);
    }

    WindowHandle Window() const { return window_; }

    std::vector<std::string> log;
    std::intptr_t endWith = 42;
    const platform::WindowRect* moveTo = nullptr;
    DialogBase* mappedAtInit = nullptr;
    DialogBase* mappedAtDestroy = nullptr;
    platform::WindowRect rectAfterInit{};
    std::intptr_t innerResult = -2;
    std::vector<std::string> innerLog;
    platform::WindowRect innerRect{};
    WindowHandle innerWindow = nullptr;
    DialogBase* outerMappedDuringInner = nullptr;

private:
    bool endOnClose_;
    WindowHandle window_ = nullptr;
};

class DialogProcedureTest : public ::testing::Test {
protected:
    void SetUp() override { folder = MakeTestFolder(); }
    void TearDown() override {
        unsetenv("TOVRIN_DIALOG_INPUT");
        unsetenv("TOVRIN_DIALOG_OUTPUT");
        std::filesystem::remove_all(folder);
    }
    void Script(const std::string& answers) {
        WriteFile(folder / "answers.txt", answers);
        setenv("TOVRIN_DIALOG_INPUT", (folder / "answers.txt").string().c_str(), 1);
        setenv("TOVRIN_DIALOG_OUTPUT", (folder / "dialog.txt").string().c_str(), 1);
    }
    std::string Shown() const { return ReadFile(folder / "dialog.txt"); }
    std::filesystem::path folder;
};

TEST_F(DialogProcedureTest, MessagesReachTheObjectOfTheirWindowAlsoForADialogOpenedFromAnother) {
    // Store button (1): the inner dialog opens and reads the next answer, OK (3). Then the restore
    // button (by id) ends the outer one.
    Script("1\n3\n#2002\n");
    const platform::WindowRect parentRect{-301, -157, 500, 444};
    RecordingDialog outer(nullptr);
    outer.moveTo = &parentRect;
    EXPECT_EQ(outer.DoModal(), 42);

    EXPECT_EQ(outer.log, (std::vector<std::string>{"init", "command 2001", "command 2002", "destroy"}));
    EXPECT_EQ(outer.innerLog, (std::vector<std::string>{"init", "command 1", "destroy"}));
    EXPECT_EQ(outer.innerResult, 7);
    EXPECT_EQ(outer.mappedAtInit, &outer);
    EXPECT_EQ(outer.mappedAtDestroy, &outer);
    EXPECT_EQ(outer.outerMappedDuringInner, &outer);
    // Destroyed windows are forgotten.
    EXPECT_EQ(DialogOfWindow(outer.Window()), nullptr);
    EXPECT_EQ(DialogOfWindow(outer.innerWindow), nullptr);

    // The inner dialog centred itself on the outer one, which lies left of and above the origin.
    const platform::WindowRect& inner = outer.innerRect;
    const auto expected = FxOptionDlg::CenteredOrigin(inner, parentRect);
    EXPECT_EQ(inner.left, expected.left);
    EXPECT_EQ(inner.top, expected.top);
    EXPECT_LT(inner.left, 0);
    // Outer, inner, and the outer again after the command; no handler set a caption, so the template's shows.
    EXPECT_EQ(Count(Shown(), "== Option =="), 3) << Shown();
}

TEST_F(DialogProcedureTest, EndOfInputIsTheCloseBox) {
    Script("");
    RecordingDialog dialog(nullptr);
    EXPECT_EQ(dialog.DoModal(), 0);
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"init", "close", "destroy"}));
}

TEST_F(DialogProcedureTest, AClosedDialogThatIgnoresTheCloseBoxGetsCancelAndThenEnds) {
    Script("");
    RecordingDialog dialog(nullptr, /*endOnClose=*/false);
    EXPECT_EQ(dialog.DoModal(), 0);
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"init", "close", "command 2", "destroy"}));
}

TEST_F(DialogProcedureTest, AnUnreadableScriptClosesAtOnce) {
    setenv("TOVRIN_DIALOG_INPUT", (folder / "missing.txt").string().c_str(), 1);
    setenv("TOVRIN_DIALOG_OUTPUT", (folder / "dialog.txt").string().c_str(), 1);
    FxOptionDlg::AEFxOptionDialog dialog(IDD_OPTION, nullptr, nullptr, "Tovrin", true,
                                         FxOptionDlg::kLanguageEnglish);
    EXPECT_EQ(dialog.DoModal(), FxOptionDlg::kResultNothing);
}

TEST_F(DialogProcedureTest, ATemplateThePlugInLacksCannotBeShown) {
    Script("1\n");
    RecordingDialog missing(nullptr);
    // Through the base, the dialog box's own failure; the option dialog counts it as closed.
    struct Missing : DialogBase {
        Missing() : DialogBase(999, nullptr, nullptr, "Missing") {}
    } base;
    EXPECT_EQ(base.DoModal(), -1);
    FxOptionDlg::AEFxOptionDialog option(999, nullptr, nullptr, "Tovrin", true,
                                         FxOptionDlg::kLanguageEnglish);
    EXPECT_EQ(option.DoModal(), FxOptionDlg::kResultNothing);
    EXPECT_TRUE(missing.log.empty());
}

TEST_F(DialogProcedureTest, TheStoreAnswerEndsTheOptionDialogWithOneAndRestoreWithTwo) {
    for (const auto& [answers, result] : std::vector<std::pair<std::string, std::intptr_t>>{
             {"1\n", 1}, {"2\n", 2}, {"3\n", 0}, {"#2001\n", 1}, {"#1\n", 0}, {"0\n4\n#2000\nx\n2\n", 2}}) {
        Script(answers);
        FxOptionDlg::AEFxOptionDialog dialog(IDD_OPTION, nullptr, nullptr, "Tovrin", true,
                                             FxOptionDlg::kLanguageEnglish);
        EXPECT_EQ(dialog.DoModal(), result) << answers;
    }
    EXPECT_EQ(Count(Shown(), "No such choice."), 4) << Shown();
}

TEST_F(DialogProcedureTest, WithoutScriptOrTerminalTheDialogIsClosedWithoutWaiting) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A new session has no controlling terminal; a dialog that waited would be killed by the alarm.
        setsid();
        alarm(20);
        unsetenv("TOVRIN_DIALOG_INPUT");
        unsetenv("TOVRIN_DIALOG_OUTPUT");
        RecordingDialog dialog(nullptr);
        const bool closed =
            dialog.DoModal() == 0 && dialog.log == std::vector<std::string>{"init", "close", "destroy"};
        _exit(closed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the dialog waited for input that could never come";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
} // namespace optiondlg_test
#endif
