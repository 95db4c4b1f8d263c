#include "platform/user_prompt.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(ScriptedPrompt, AnswersQueuedThenDefaultAndRecordsEveryBox) {
  ScriptedPrompt prompt;
  prompt.QueueAnswer(Answer::Yes);
  EXPECT_EQ(prompt.MessageBox("q1", "c", mb::kYesNo), Answer::Yes);
  EXPECT_EQ(prompt.MessageBox("q2", "c", mb::kYesNo), Answer::No);  // default
  EXPECT_EQ(prompt.MessageBox("info", "Programmer Info", mb::kInfoAlert), Answer::Ok);
  prompt.SetDefaultAnswer(Answer::Yes);
  EXPECT_EQ(prompt.MessageBox("q3", "c", mb::kYesNo | mb::kIconInformation), Answer::Yes);

  const auto records = prompt.Records();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[2].caption, "Programmer Info");
  EXPECT_EQ(records[2].style, mb::kInfoAlert);
  EXPECT_EQ(records[3].answer, Answer::Yes);
}

TEST(ScriptedPrompt, HexSaveDialogReturnsConfiguredChoice) {
  ScriptedPrompt prompt;
  EXPECT_FALSE(prompt.AskHexSavePath("a.hex").has_value());
  prompt.SetHexSaveChoice(HexSaveChoice{"out.hex", true});
  const auto choice = prompt.AskHexSavePath("b.hex");
  ASSERT_TRUE(choice.has_value());
  EXPECT_EQ(choice->path, "out.hex");
  EXPECT_TRUE(choice->saveEmptyAreas);
  EXPECT_EQ(prompt.SuggestedSavePaths(), (std::vector<std::string>{"a.hex", "b.hex"}));
}

TEST(ScriptedPrompt, SignatureDialogHandsBackShownEntryUnlessScripted) {
  ScriptedPrompt prompt;
  const auto unchanged = prompt.AskSignatureBytes({"1E95", false});
  EXPECT_EQ(unchanged.signatureText, "1E95");
  EXPECT_FALSE(unchanged.doNotAskAgain);
  prompt.SetSignatureBytesEntry(SignatureBytesEntry{"1E9602", true});
  const auto typed = prompt.AskSignatureBytes({"", false});
  EXPECT_EQ(typed.signatureText, "1E9602");
  EXPECT_TRUE(typed.doNotAskAgain);
  const auto requests = prompt.SignatureRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].signatureText, "1E95");
  EXPECT_EQ(requests[1].signatureText, "");
}

TEST(NonInteractiveAnswer, FollowsButtonSet) {
  EXPECT_EQ(NonInteractiveAnswer(mb::kYesNo, true), Answer::Yes);
  EXPECT_EQ(NonInteractiveAnswer(mb::kYesNo, false), Answer::No);
  EXPECT_EQ(NonInteractiveAnswer(mb::kOkCancel, false), Answer::Cancel);
  EXPECT_EQ(NonInteractiveAnswer(mb::kOk | mb::kIconError, false), Answer::Ok);
}

}  // namespace
}  // namespace velmora
