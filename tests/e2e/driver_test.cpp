// The driver against a program of its own (e2e_target.exe) in a second
// process: reading a list view and a status bar across processes, pressing
// buttons and menu commands, answering message boxes, ending the program.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/driver.h"

namespace tw::e2e {
namespace {

constexpr int kIdList = 101, kIdStatus = 102, kIdAsk = 103, kIdInfo = 104, kIdListBox = 120,
              kIdCombo = 121, kIdPageEdit = 201, kIdMenuHello = 40001, kIdMenuDialog = 40002,
              kIdMenuAskOnClose = 40003;

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_app.Start("e2e_target.exe")) << m_app.LastError();
    m_main = m_app.WaitForWindow("E2E Target", "TwE2eTarget");
    ASSERT_NE(m_main, nullptr) << "no window captioned \"E2E Target\"";
    m_status = WaitForControl(m_main, kIdStatus, "msctls_statusbar32");
    ASSERT_NE(m_status, nullptr);
  }
  void TearDown() override {
    m_app.End();
    EXPECT_FALSE(m_app.Running());
    EXPECT_EQ(CountProcesses("e2e_target.exe"), 0);
  }
  std::string StatusPane(size_t i) {
    auto texts = StatusBarTexts(m_status);
    return i < texts.size() ? texts[i] : "<no pane " + std::to_string(i) + ">";
  }
  bool WaitForStatus(const std::string& text) {
    return WaitFor([&] { return StatusPane(0) == text; });
  }

  CAppUnderTest m_app;
  HWND m_main = nullptr;
  HWND m_status = nullptr;
};

TEST_F(DriverTest, ReadsListViewRowsColumnsAndStatesFromAnotherProcess) {
  HWND list = FindControl(m_main, kIdList, "SysListView32");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ListViewColumnCount(list), 3);
  const std::vector<std::vector<std::string>> want = {
      {"alpha", "1", "C:\\a"}, {"注册表", "22", "D:\\中文\\表"}, {"gamma", "333", ""}};
  EXPECT_EQ(ListViewRows(list), want);
  EXPECT_EQ(ListViewRows(list, 1), (std::vector<std::vector<std::string>>{{"alpha"}, {"注册表"}, {"gamma"}}));
  EXPECT_EQ(ListViewText(list, 1, 2), "D:\\中文\\表");
  EXPECT_EQ(ListViewText(list, 7, 0), "");  // past the end: empty, no crash
  EXPECT_FALSE(ListViewChecked(list, 0));
  EXPECT_TRUE(ListViewChecked(list, 1));
  EXPECT_FALSE(ListViewChecked(list, 2));
  EXPECT_EQ(ListViewSelection(list), std::vector<int>{2});
}

TEST_F(DriverTest, ChecksAndSelectsListViewRowsInAnotherProcess) {
  HWND list = FindControl(m_main, kIdList, "SysListView32");
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(ListViewSetChecked(list, 0, true));
  EXPECT_TRUE(WaitFor([&] { return StatusPane(1) == "2 checked"; })) << StatusPane(1);
  EXPECT_TRUE(ListViewSetChecked(list, 1, false));
  EXPECT_TRUE(WaitFor([&] { return StatusPane(1) == "1 checked"; })) << StatusPane(1);
  EXPECT_TRUE(ListViewChecked(list, 0));
  EXPECT_FALSE(ListViewChecked(list, 1));
  EXPECT_FALSE(ListViewSetChecked(list, 3, true));  // no such row
  EXPECT_TRUE(ListViewSelect(list, 0));
  EXPECT_EQ(ListViewSelection(list), std::vector<int>{0});
  EXPECT_FALSE(ListViewSelect(list, -2));
}

TEST_F(DriverTest, ReadsAndPicksListAndComboBoxItems) {
  const std::vector<std::string> items = {"one", "二", "three"};
  EXPECT_EQ(ListBoxItems(FindControl(m_main, kIdListBox, "ListBox")), items);
  HWND combo = FindControl(m_main, kIdCombo, "ComboBox");
  EXPECT_EQ(ComboBoxItems(combo), items);
  EXPECT_EQ(ComboBoxSelection(combo), -1);
  EXPECT_TRUE(ComboBoxSelect(combo, 1));
  EXPECT_EQ(ComboBoxSelection(combo), 1);
  EXPECT_TRUE(WaitFor([&] { return StatusPane(1) == "Picked: 二"; })) << StatusPane(1);
  EXPECT_FALSE(ComboBoxSelect(combo, 5));
}

TEST_F(DriverTest, ReadsStatusBarPanesAndControlTexts) {
  EXPECT_EQ(StatusBarTexts(m_status), (std::vector<std::string>{"Ready", "3 items", "就绪"}));
  EXPECT_EQ(GetText(m_main), "E2E Target");
  EXPECT_EQ(GetText(FindControl(m_main, kIdAsk)), "Ask");
  EXPECT_EQ(FindControlByText(m_main, "Info", "Button"), FindControl(m_main, kIdInfo));
  // The same id on a hidden and a shown page: the shown one is found.
  HWND edit = FindControl(m_main, kIdPageEdit, "Edit");
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(GetText(edit), "shown page");
  EXPECT_EQ(FindControls(m_main, "Edit").size(), 2u);
  EXPECT_TRUE(SetText(edit, "写入 text"));
  EXPECT_EQ(GetText(edit), "写入 text");
  EXPECT_EQ(FindControl(m_main, 9999), nullptr);
  EXPECT_NE(Screenshot("e2e_target"), "");
}

TEST_F(DriverTest, AnswersMessageBoxYesAndNo) {
  struct Case {
    int button;
    const char* status;
  };
  for (const Case& c : {Case{IDYES, "Answer: Yes"}, Case{IDNO, "Answer: No"}}) {
    SCOPED_TRACE(c.status);
    ASSERT_TRUE(Click(FindControl(m_main, kIdAsk)));
    MessageBoxInfo box = WaitForMessageBox(m_app.Pid(), "E2E Confirm");
    ASSERT_TRUE(box);
    EXPECT_EQ(box.caption, "E2E Confirm");
    EXPECT_NE(box.text.find("Remove the selected entries?"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("删除所选项目？"), std::string::npos) << box.text;
    EXPECT_NE(std::find(box.buttons.begin(), box.buttons.end(), IDYES), box.buttons.end());
    EXPECT_NE(std::find(box.buttons.begin(), box.buttons.end(), IDNO), box.buttons.end());
    if (c.button == IDYES) Screenshot("e2e_target_message_box");
    EXPECT_TRUE(AnswerMessageBox(box.hwnd, c.button));
    EXPECT_TRUE(WaitForStatus(c.status)) << StatusPane(0);
  }
}

TEST_F(DriverTest, CommandsReachTheProgram) {
  EXPECT_TRUE(Command(m_main, kIdMenuHello));
  EXPECT_TRUE(WaitForStatus("Menu: hello")) << StatusPane(0);
  // A button's notification sent as its parent receives it; the OK box it
  // raises is answered with OK.
  EXPECT_TRUE(ClickId(m_main, kIdInfo));
  MessageBoxInfo box = WaitForMessageBox(m_app.Pid(), "E2E Info");
  ASSERT_TRUE(box);
  EXPECT_EQ(box.text, "Done.");
  EXPECT_FALSE(AnswerMessageBox(box.hwnd, IDYES, 500));  // it has no Yes
  EXPECT_TRUE(AnswerMessageBox(box.hwnd, IDOK));
  EXPECT_TRUE(WaitForStatus("Info seen")) << StatusPane(0);
  EXPECT_FALSE(WaitForMessageBox(m_app.Pid(), "E2E Info", 300));
}

TEST_F(DriverTest, EndsTheProgramEvenWithAMessageBoxOpen) {
  ASSERT_TRUE(Click(FindControl(m_main, kIdAsk)));
  ASSERT_TRUE(WaitForMessageBox(m_app.Pid(), "E2E Confirm"));
  EXPECT_EQ(m_app.TopLevelWindows("E2E Confirm", "#32770").size(), 1u);
  CAppUnderTest::Ending how = m_app.End();
  EXPECT_TRUE(how == CAppUnderTest::Ending::Closed || how == CAppUnderTest::Ending::Terminated);
  EXPECT_FALSE(m_app.Running());
  EXPECT_EQ(m_app.End(), CAppUnderTest::Ending::Exited);
}

TEST_F(DriverTest, MessageBoxIsNotConfusedWithADialogOfTheSameCaption) {
  ASSERT_TRUE(Command(m_main, kIdMenuDialog));
  ASSERT_TRUE(WaitFor([&] { return m_app.TopLevelWindows("E2E Confirm", "#32770").size() == 1; }));
  EXPECT_FALSE(WaitForMessageBox(m_app.Pid(), "E2E Confirm", 300));
  ASSERT_TRUE(Click(FindControl(m_main, kIdAsk)));
  MessageBoxInfo box = WaitForMessageBox(m_app.Pid(), "E2E Confirm");
  ASSERT_TRUE(box);
  EXPECT_NE(box.text.find("Remove the selected entries?"), std::string::npos) << box.text;
  EXPECT_TRUE(AnswerMessageBox(box.hwnd, IDNO));
  EXPECT_TRUE(WaitForStatus("Answer: No")) << StatusPane(0);
}

TEST_F(DriverTest, EndAnswersTheExitQuestion) {
  // Posted messages arrive in order: the program asks before End's WM_CLOSE.
  // Without an answer it would stay and be terminated.
  ASSERT_TRUE(Command(m_main, kIdMenuAskOnClose));
  EXPECT_EQ(m_app.End(), CAppUnderTest::Ending::Closed);
}

TEST(DriverStart, MissingProgramFailsWithAReason) {
  CAppUnderTest app;
  EXPECT_FALSE(app.Start("no_such_program.exe"));
  EXPECT_NE(app.LastError().find("CreateProcess"), std::string::npos) << app.LastError();
  EXPECT_EQ(app.WaitForWindow("", "", 100), nullptr);
  EXPECT_EQ(app.End(), CAppUnderTest::Ending::NotStarted);
}

}  // namespace
}  // namespace tw::e2e
