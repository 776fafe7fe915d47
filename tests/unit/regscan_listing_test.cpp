// Answers from one listing of a folder: exactly what the search itself
// would say, or no answer at all.
#include <gtest/gtest.h>

#include <vector>

#include "platform/memory/memory_file_system.h"
#include "platform/text.h"
#include "registry_cleaner/folder_listing.h"

namespace tw {
namespace {

class CCountingFs : public CMemoryFileSystem {
 public:
  std::unique_ptr<IFileFind> FindFirst(const std::string& pattern, FindData* first,
                                       long* error = nullptr) override {
    patterns.push_back(pattern);
    return CMemoryFileSystem::FindFirst(pattern, first, error);
  }
  std::vector<std::string> patterns;
};

class FolderListing : public ::testing::Test {
 protected:
  void SetUp() override {
    SetAnsiCodePage(936);
    fs.AddDrive('C', kDriveFixed);
    ASSERT_TRUE(fs.AddFile("C:\\Data\\Report Final.docx"));  // short name REPORT~1.DOC
    ASSERT_TRUE(fs.AddFile("C:\\Data\\readme.txt"));
    ASSERT_TRUE(fs.AddFile("C:\\Data\\notes"));
    ASSERT_TRUE(fs.AddFolder("C:\\Data\\sub"));
    ASSERT_TRUE(fs.AddFile("C:\\Mixed\\plain.txt"));
    ASSERT_TRUE(fs.AddFile("C:\\Mixed\\\xD5\x41.txt"));  // 誂.txt
  }
  CCountingFs fs;
};

struct ListingCase {
  std::string pattern;
  ListingAnswer answer;
};

TEST_F(FolderListing, AnswersOnlyWhatTheSearchWouldSayExactly) {
  using A = ListingAnswer;
  const ListingCase cases[] = {
      {"c:\\data\\README.TXT", A::kFound},          // case as the system folds it
      {"c:\\data\\report~1.doc", A::kFound},        // the short name
      {"C:\\Data\\Report Final.docx", A::kFound},
      {"c:\\data\\sub", A::kFound},                 // a folder is an entry too
      {"c:\\data\\readme.*", A::kFound},            // "name.*" finds name.ext
      {"c:\\data\\notes.*", A::kFound},             // ... and the bare name
      {"c:\\data\\report final.*", A::kFound},
      {"c:\\data\\read.*", A::kNotFound},           // not a prefix of a longer name
      {"c:\\data\\readme.txt.*", A::kFound},
      {"c:\\data\\gone.dll", A::kNotFound},
      {"c:\\data\\sub\\x.dll", A::kNotFound},       // an empty folder lists
      {"c:\\mixed\\plain.txt", A::kFound},          // found beside an odd entry
      {"c:\\mixed\\other.txt", A::kAsk},            // the odd entry might be it
      {"c:\\data\\readme.txt.", A::kAsk},           // the system drops a trailing dot
      {"c:\\data\\readme.txt ", A::kAsk},           // ... and trailing spaces
      {"c:\\data\\ readme.txt", A::kAsk},
      {"c:\\data\\read?e.txt", A::kAsk},            // wildcards
      {"c:\\data\\*.txt", A::kAsk},
      {"c:\\data\\read<e.txt", A::kAsk},            // DOS wildcards
      {"c:\\data\\nul", A::kAsk},                   // device names
      {"c:\\data\\COM1.txt", A::kAsk},
      {"c:\\data\\con .txt", A::kAsk},
      {"c:\\data\\readme.txt:stream", A::kAsk},     // a stream
      {"c:\\data/readme.txt", A::kAsk},
      {"c:\\data\\..\\data\\readme.txt", A::kAsk},  // other folders by name
      {"c:\\data\\.\\readme.txt", A::kAsk},
      {"c:\\data\\\\readme.txt", A::kAsk},
      {"c:\\data\\" + std::string(240, 'a'), A::kAsk},  // near MAX_PATH
      {"c:\\data\\\xD5\x41.txt", A::kAsk},          // beyond ASCII
      {"c:\\gone\\x.dll", A::kAsk},                 // a folder that does not list
      {"c:\\data\\readme.txt\\x", A::kAsk},         // a file is no folder
      {"\\\\server\\share\\x.dll", A::kAsk},
      {"c:readme.txt", A::kAsk},
  };
  for (const ListingCase& c : cases) {
    CFolderListings listings(fs);
    const ListingAnswer answer = listings.Answer(c.pattern);
    EXPECT_EQ(answer, c.answer) << c.pattern;
    if (answer == A::kAsk) continue;
    FindData fd;
    EXPECT_EQ(answer == A::kFound, fs.FindFirst(c.pattern, &fd) != nullptr) << c.pattern;
  }
}

TEST_F(FolderListing, OneListingPerFolderAndAFolderMissingFromItsParentNeedsNone) {
  CFolderListings listings(fs);
  EXPECT_EQ(listings.Answer("c:\\data\\gone.dll"), ListingAnswer::kNotFound);
  EXPECT_EQ(listings.Answer("c:\\data\\readme.txt"), ListingAnswer::kFound);
  EXPECT_EQ(listings.Answer("c:\\data\\gone.*"), ListingAnswer::kNotFound);
  EXPECT_EQ(fs.patterns, std::vector<std::string>{"c:\\data\\*"});
  // Nothing lives below a folder its parent's listing lacks, however deep.
  EXPECT_EQ(listings.Answer("c:\\data\\old\\deeper\\x.dll"), ListingAnswer::kNotFound);
  EXPECT_EQ(fs.patterns.size(), 1u);
  // A folder that does not list is tried once.
  EXPECT_EQ(listings.Answer("c:\\gone\\a.dll"), ListingAnswer::kAsk);
  EXPECT_EQ(listings.Answer("c:\\gone\\b.dll"), ListingAnswer::kAsk);
  EXPECT_EQ(fs.patterns.size(), 2u);
}

}  // namespace
}  // namespace tw
