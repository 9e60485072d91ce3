#include "shell/string_table.h"

#include <gtest/gtest.h>

#include <thread>

#include "shell/messages.h"
#include "support/scripted_answerer.h"
#include "support/temp_dir.h"

namespace kv {
namespace {

TEST(StringTable, BuiltInTableHoldsTheProgramsTexts) {
  EXPECT_EQ(loadUiString(40000), u"%s -Quorvex2-");
  EXPECT_EQ(loadUiString(40003), u"通信の切断に失敗しました。");
  EXPECT_EQ(loadUiString(40275), u"新しいモーション");
  // Escapes in the table become control characters.
  std::u16string fatal = loadUiString(40132);
  EXPECT_NE(fatal.find(u"\r\n[ %s ]\r\n"), std::u16string::npos);
  EXPECT_EQ(loadUiString(39999), u"");
  EXPECT_EQ(loadUiString(40460), u"");

  const StringTable& table = builtinStringTable();
  EXPECT_GT(table.size(), 250u);
  for (const auto& [id, text] : table) {
    EXPECT_GE(id, 40000);
    // 40000-40459 are the interface texts; 49000 on are the program's own notes.
    EXPECT_TRUE(id <= 40459 || (id >= 49000 && id <= 49999)) << id;
    EXPECT_FALSE(text.empty()) << id;
  }
}

TEST(StringTable, ParserSkipsMalformedLinesAndKeepsBlanks) {
  StringTable table = parseStringTable("40010\t  END  \r\n# note\nabc\tx\n\t40011\n40012\ta\\\\b\\q\n");
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[40010], u"  END  ");
  EXPECT_EQ(table[40012], u"a\\b\\q");
}

TEST(StringTable, LanguageFileReplacesTextsAndFallsBackForMissingOnes) {
  testing::TempDir dir;
  testing::writeBytes(dir / "english.tsv", "40275\tNew motion\n");
  ASSERT_TRUE(loadLanguageFile(dir / "english.tsv"));
  EXPECT_EQ(loadUiString(40275), u"New motion");
  EXPECT_EQ(loadUiString(40000), u"%s -Quorvex2-");
  resetLanguage();
  EXPECT_EQ(loadUiString(40275), u"新しいモーション");

  testing::writeBytes(dir / "empty.tsv", "nothing here\n");
  EXPECT_FALSE(loadLanguageFile(dir / "empty.tsv"));
  EXPECT_FALSE(loadLanguageFile(dir / "missing.tsv"));
  EXPECT_EQ(loadUiString(40275), u"新しいモーション");
}

TEST(Messages, FormattedTextCaptionAndTheAnswer) {
  testing::ScriptedAnswerer answerer;
  answerer.answerNext(MessageAnswer::No);
  EXPECT_EQ(showMessage(40132, MessageIcon::Error, MessageButtons::YesNo, {u"medit_sys.ini"}), MessageAnswer::No);
  // Script used up: the cautious answer.
  EXPECT_EQ(showMessage(40003, MessageIcon::Warning, MessageButtons::YesNoCancel), MessageAnswer::Cancel);

  std::vector<Message> shown = answerer.shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].stringId, 40132);
  EXPECT_NE(shown[0].text.find(u"[ medit_sys.ini ]"), std::u16string::npos);
  EXPECT_EQ(shown[0].caption, loadUiString(40001));
  EXPECT_EQ(shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(shown[1].text, loadUiString(40003));
}

TEST(Messages, AskedFromAnotherThread) {
  testing::ScriptedAnswerer answerer;
  answerer.answerNext(MessageAnswer::Yes);
  MessageAnswer answer = MessageAnswer::Cancel;
  std::thread worker([&] { answer = showMessage(40009, MessageIcon::Question, MessageButtons::YesNo); });
  worker.join();
  EXPECT_EQ(answer, MessageAnswer::Yes);
  EXPECT_EQ(answerer.shownIds(), std::vector<int>{40009});
}

TEST(Messages, DefaultHandlerAnswersCautiously) {
  setMessageHandler(nullptr);
  EXPECT_EQ(showMessage(40003, MessageIcon::None, MessageButtons::Ok), MessageAnswer::Ok);
  EXPECT_EQ(showMessage(40003, MessageIcon::None, MessageButtons::YesNo), MessageAnswer::No);
  EXPECT_EQ(showMessage(40003, MessageIcon::None, MessageButtons::OkCancel), MessageAnswer::Cancel);
}

}  // namespace
}  // namespace kv
