#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "junk_files/folder_tree_model.h"
#include "platform/memory/memory_file_system.h"
#include "platform/text.h"

namespace {

using Paths = std::vector<std::string>;

class FolderTreeModel : public ::testing::Test {
 protected:
  void SetUp() override {
    tw::SetAnsiCodePage(936);
    fs.AddDrive('C', tw::kDriveFixed, "System");
    fs.AddDrive('D', tw::kDriveFixed);
    fs.AddDrive('E', tw::kDriveCdrom);
    fs.AddDrive('F', tw::kDriveRemovable);
    fs.AddDrive('G', tw::kDriveRemote);
    fs.AddDrive('H', tw::kDriveRamdisk);
    fs.AddFolder("C:\\Windows\\Temp");
    fs.AddFolder("C:\\Windows\\System32\\drivers");
    fs.AddFile("C:\\Windows\\notepad.exe");
    fs.AddFolder("C:\\Temp");
    fs.AddFolder("C:\\Temp2");
    fs.AddFile("C:\\Temp2\\a.tmp");
    fs.AddFolder("D:\\Data");
    model.Initialise("My Computer");
  }

  tw::FolderNode* Child(tw::FolderNode* node, const std::string& text) {
    model.Expand(node);
    for (auto& c : node->children) {
      if (c->text == text) return c.get();
    }
    ADD_FAILURE() << "no child " << text << " in\n" << fs.Dump();
    return node;
  }
  tw::FolderNode* Node(const std::vector<std::string>& texts) {
    tw::FolderNode* n = model.Root();
    for (const auto& t : texts) n = Child(n, t);
    return n;
  }
  Paths Collect() {
    Paths p;
    model.CollectTickedPaths(&p);
    return p;
  }

  tw::CMemoryFileSystem fs;
  tw::CFolderTreeModel model{fs};
};

TEST_F(FolderTreeModel, OffersTheRootTickedAndTheFixedDrivesOnly) {
  tw::FolderNode* root = model.Root();
  EXPECT_TRUE(root->ticked);
  ASSERT_EQ(root->children.size(), 2u);
  EXPECT_EQ(root->children[0]->text, "System(C:)");
  EXPECT_EQ(root->children[1]->text, "(D:)");
  for (auto& d : root->children) {
    EXPECT_FALSE(d->ticked);
    EXPECT_TRUE(d->hasButton);
    EXPECT_FALSE(d->loaded);  // folders come on first expansion only
  }
  EXPECT_EQ(model.FixedDrives(), (Paths{"C:\\", "D:\\"}));
}

TEST_F(FolderTreeModel, LoadsFoldersOnceWithButtonsOnlyWhereSubfoldersAre) {
  tw::FolderNode* c = Node({"System(C:)"});
  EXPECT_TRUE(model.Expand(c));
  ASSERT_EQ(c->children.size(), 3u) << fs.Dump();  // files are not shown
  EXPECT_FALSE(model.Expand(c));                   // a second expansion adds nothing
  EXPECT_EQ(c->children.size(), 3u);
  tw::FolderNode* windows = Child(c, "Windows");
  EXPECT_TRUE(windows->hasButton);
  EXPECT_FALSE(Child(c, "Temp")->hasButton);
  EXPECT_FALSE(Child(c, "Temp2")->hasButton);  // a file alone makes no button
  EXPECT_EQ(tw::CFolderTreeModel::GetItemPath(Child(windows, "System32")),
            "C:\\Windows\\System32");
  EXPECT_EQ(tw::CFolderTreeModel::GetItemPath(c), "C:");
  EXPECT_EQ(tw::CFolderTreeModel::GetItemPath(model.Root()), "");
  EXPECT_TRUE(model.HasSubfolders("C:\\Windows"));
  EXPECT_FALSE(model.HasSubfolders("C:\\Temp"));
  EXPECT_FALSE(model.HasSubfolders("C:\\Missing"));
}

TEST_F(FolderTreeModel, CollectsWhatTheTicksStandFor) {
  struct Case {
    const char* name;
    std::vector<std::vector<std::string>> tickBoxClicks;
    std::vector<std::vector<std::string>> labelClicks;
    Paths expected;
  };
  const Case cases[] = {
      {"root only gives every fixed drive", {}, {}, {"C:", "D:"}},
      {"root and C: give C: alone", {{"System(C:)"}}, {}, {"C:"}},
      {"Temp below Windows keeps the deepest", {{"System(C:)", "Windows", "Temp"}}, {},
       {"c:\\windows\\temp"}},
      {"two siblings both stay, in tree order",
       {{"System(C:)", "Windows", "Temp"}, {"System(C:)", "Windows", "System32"}}, {},
       {"c:\\windows\\system32", "C:\\Windows\\Temp"}},
      {"C:\\Temp and C:\\Temp2 are different folders",
       {{"System(C:)", "Temp"}, {"System(C:)", "Temp2"}}, {}, {"c:\\temp", "C:\\Temp2"}},
      {"a folder and another drive", {{"System(C:)", "Temp"}, {"(D:)", "Data"}}, {},
       {"c:\\temp", "d:\\data"}},
      {"a name click ticks the folder alone, and it is collected", {}, {{"System(C:)", "Temp"}},
       {"C:\\Temp"}},
      {"unticking the root unticks everything loaded", {{"System(C:)", "Temp"}, {}}, {}, {}},
  };
  for (const auto& c : cases) {
    model.Initialise("My Computer");
    for (const auto& path : c.tickBoxClicks) model.ClickTickBox(Node(path));
    for (const auto& path : c.labelClicks) model.ClickLabel(Node(path));
    EXPECT_EQ(Collect(), c.expected) << c.name;
  }
}

TEST_F(FolderTreeModel, TickRulesReachAncestorsUpAndDescendantsDown) {
  tw::FolderNode* temp = Node({"System(C:)", "Windows", "Temp"});
  tw::FolderNode* windows = temp->parent;
  tw::FolderNode* c = windows->parent;
  model.ClickTickBox(model.Root());  // untick the root first
  EXPECT_FALSE(model.Root()->ticked);
  model.ClickTickBox(temp);
  EXPECT_TRUE(temp->ticked && windows->ticked && c->ticked && model.Root()->ticked);
  EXPECT_FALSE(Child(windows, "System32")->ticked);  // ticking never ticks children

  model.ClickTickBox(windows);  // unticks Windows and everything loaded below
  EXPECT_FALSE(windows->ticked || temp->ticked);
  EXPECT_TRUE(c->ticked && model.Root()->ticked);  // unticking never unticks parents

  model.ClickLabel(temp);  // the label flips the item alone
  EXPECT_TRUE(temp->ticked);
  EXPECT_FALSE(windows->ticked);
  model.ClickLabel(temp);
  EXPECT_FALSE(temp->ticked);
}

TEST(FolderTreeAddScanRoot, KeepsEachFolderOnceByWholeComponents) {
  tw::SetAnsiCodePage(936);
  struct Case {
    Paths before;
    std::string added;
    Paths after;
  };
  const Case cases[] = {
      {{}, "C:", {"C:"}},
      {{"C:"}, "C:\\Windows", {"c:\\windows"}},
      {{"c:\\windows"}, "C:", {"c:\\windows"}},
      {{"c:\\windows"}, "C:\\WINDOWS", {"c:\\windows"}},
      {{"c:\\temp"}, "C:\\Temp2", {"c:\\temp", "C:\\Temp2"}},
      {{"C:\\Temp2"}, "C:\\Temp", {"C:\\Temp2", "C:\\Temp"}},
      {{"C:"}, "D:\\x", {"C:", "D:\\x"}},
      // A double-byte name whose trail byte is "\": still one component.
      {{"C:\\\x95\x5C"}, "C:\\\x95\x5C\\sub", {"c:\\\x95\x5C\\sub"}},
      {{"C:\\\x95\x5C"}, "C:\\\x95\x5C" "b", {"C:\\\x95\x5C", "C:\\\x95\x5C" "b"}},
      // Trail bytes that look like capitals are not letters: two different names.
      {{"C:\\\x95\x41"}, "C:\\\x95\x61", {"C:\\\x95\x41", "C:\\\x95\x61"}},
  };
  for (const auto& c : cases) {
    Paths paths = c.before;
    tw::CFolderTreeModel::AddScanRoot(&paths, c.added);
    EXPECT_EQ(paths, c.after) << "adding " << c.added;
  }
}

TEST(FolderTreeDrives, AllTwentySixFixedDrivesAreOffered) {
  tw::CMemoryFileSystem fs;
  for (char letter = 'A'; letter <= 'Z'; ++letter) fs.AddDrive(letter, tw::kDriveFixed);
  tw::CFolderTreeModel model(fs);
  model.Initialise("root");
  EXPECT_EQ(model.FixedDrives().size(), 26u);
  EXPECT_EQ(model.Root()->children.back()->text, "(Z:)");
}

}  // namespace
