// The word reader, the token extractor and trimming: the rules every configuration file is
// read by.
#include "base/reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/file_handle.h"

namespace {

namespace fs = std::filesystem;

class WordFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = fs::temp_directory_path() /
            ("qrv_reader_" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove(path_, ignored);
  }

  void Write(const std::string &contents) {
    std::ofstream out(path_, std::ios::binary);
    out << contents;
  }

  std::vector<std::string> ReadAll(const char *mode = "rt") {
    FileHandle file;
    EXPECT_TRUE(file.Open(path_.string().c_str(), mode));
    std::vector<std::string> words;
    char word[kWordBufferSize];
    while (file.ReadWord(word, kWordCapacity)) {
      EXPECT_LE(std::strlen(word), static_cast<size_t>(kWordCapacity));
      words.push_back(word);
    }
    return words;
  }

  fs::path path_;
};

TEST_F(WordFile, KeyAndValueOnOneLineAreTwoWordsThenTheEnd) {
  Write("FPS_PRLTB 1\n");
  FileHandle file;
  ASSERT_TRUE(file.Open(path_.string().c_str(), "rt"));
  char word[kWordBufferSize];
  ASSERT_TRUE(file.ReadWord(word, kWordCapacity));
  EXPECT_STREQ("FPS_PRLTB", word);
  ASSERT_TRUE(file.ReadWord(word, kWordCapacity));
  EXPECT_STREQ("1", word);
  EXPECT_FALSE(file.ReadWord(word, kWordCapacity));
  EXPECT_FALSE(file.ReadWord(word, kWordCapacity));
}

TEST_F(WordFile, EmptyAndBlankFilesHoldNoWord) {
  Write("");
  EXPECT_TRUE(ReadAll().empty());
  Write("  \n\t\r\n   \n");
  EXPECT_TRUE(ReadAll().empty());
}

TEST_F(WordFile, WordsSpanLinesTabsAndCarriageReturns) {
  Write("// set gravity\r\n\texec\tserver.cfg  \r\n\r\nlast");
  EXPECT_EQ((std::vector<std::string>{"//", "set", "gravity", "exec", "server.cfg", "last"}),
            ReadAll("rb"));
}

TEST_F(WordFile, OverlongWordIsCutWithoutOverrunAndTheRestFollows) {
  std::string longWord(300, 'x');
  Write(longWord + " next\n");
  std::vector<std::string> words = ReadAll();
  ASSERT_EQ(3u, words.size());
  EXPECT_EQ(std::string(255, 'x'), words[0]);
  EXPECT_EQ(std::string(45, 'x'), words[1]);
  EXPECT_EQ("next", words[2]);
}

TEST_F(WordFile, BinaryBytesAreReadAsWordsWithoutHarm) {
  std::string binary;
  for (int byte = 0; byte < 256; ++byte) binary += static_cast<char>(byte);
  Write(binary + binary);
  std::vector<std::string> words = ReadAll("rb");
  // Blank, tab, CR, LF, VT and FF (9 to 13, 32) separate words; every other byte belongs to
  // one, and a word that holds a zero byte ends there as text.
  auto range = [](int first, int last) {
    std::string text;
    for (int byte = first; byte <= last; ++byte) text += static_cast<char>(byte);
    return text;
  };
  const std::vector<std::string> expected = {"", range(14, 31), range(33, 255), range(14, 31),
                                             range(33, 255)};
  EXPECT_EQ(expected, words);
}

TEST_F(WordFile, SizeIsMeasuredOnOpenAndForgottenOnClose) {
  Write(std::string(2048, 'a'));
  FileHandle file;
  EXPECT_EQ(0, file.GetSize());
  ASSERT_TRUE(file.Open(path_.string().c_str(), "rb"));
  EXPECT_TRUE(file.IsOpen());
  EXPECT_EQ(2048, file.GetSize());
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(0, file.GetSize());
}

TEST_F(WordFile, ClosedHandleReadsNothingAndWritesNothing) {
  FileHandle file;
  char word[kWordBufferSize];
  EXPECT_FALSE(file.ReadWord(word, kWordCapacity));
  EXPECT_EQ(0, file.Printf("%s", "text"));
  EXPECT_FALSE(file.Open((path_ / "missing" / "file").string().c_str(), "rt"));
  EXPECT_FALSE(file.IsOpen());
}

TEST_F(WordFile, PrintfAppendsAndCountsCharacters) {
  {
    FileHandle file(path_.string().c_str(), "at");
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(6, file.Printf("%s\n", "first"));
  }
  {
    FileHandle file(path_.string().c_str(), "at");
    EXPECT_EQ(7, file.Printf("%s\n", "second"));
  }
  EXPECT_EQ((std::vector<std::string>{"first", "second"}), ReadAll());
}

TEST(SkippedWord, CommentsAndBlanksAreSkippedEverythingElseIsAnEntry) {
  EXPECT_TRUE(IsSkippedWord("//"));
  EXPECT_TRUE(IsSkippedWord("/comment"));
  EXPECT_TRUE(IsSkippedWord(""));
  EXPECT_TRUE(IsSkippedWord("\r"));
  EXPECT_TRUE(IsSkippedWord("\n"));
  EXPECT_TRUE(IsSkippedWord(" x"));
  EXPECT_TRUE(IsSkippedWord("\tx"));
  EXPECT_FALSE(IsSkippedWord("set"));
  EXPECT_FALSE(IsSkippedWord("#note"));
  EXPECT_FALSE(IsSkippedWord("a/b"));
}

TEST(GetTokenTest, QuotesGroupAndIndexPastTheEndIsEmpty) {
  const char *text = "first \"one two\" last";
  EXPECT_STREQ("first", GetToken(text, 0));
  EXPECT_STREQ("one two", GetToken(text, 1));
  EXPECT_STREQ("last", GetToken(text, 2));
  EXPECT_STREQ("", GetToken(text, 3));
  EXPECT_STREQ("", GetToken(text, -1));
}

TEST(GetTokenTest, PlainWordsEmptyTextAndUnclosedQuote) {
  EXPECT_STREQ("[FPS]", GetToken("[FPS]", 0));
  EXPECT_STREQ("", GetToken("", 0));
  EXPECT_STREQ("", GetToken(nullptr, 0));
  EXPECT_STREQ("rest of it", GetToken("\"rest of it", 0));
  EXPECT_STREQ("b", GetToken("\t a \t b", 1));
}

TEST(GetTokenTest, OnlyBlanksAndTabsSeparateAndTheResultIsTrimmed) {
  EXPECT_STREQ("a\nb", GetToken("a\nb c", 0));
  EXPECT_STREQ("x", GetToken("\" x \"", 0));
}

TEST(GetTokenTest, OverlongTokenIsCutToTheBuffer) {
  std::string text(400, 'k');
  EXPECT_EQ(std::string(255, 'k'), GetToken(text.c_str(), 0));
}

TEST(TrimInPlaceTest, RemovesWhiteSpaceAtBothEndsOnly) {
  char text[] = "  key = value \t\n";
  TrimInPlace(text);
  EXPECT_STREQ("key = value", text);
  char blanks[] = "   \t ";
  TrimInPlace(blanks);
  EXPECT_STREQ("", blanks);
  char letter[] = "a";
  TrimInPlace(letter);
  EXPECT_STREQ("a", letter);
  char inner[] = "\v\f a b \r";
  TrimInPlace(inner);
  EXPECT_STREQ("a b", inner);
}

}  // namespace
