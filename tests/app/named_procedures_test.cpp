// The classic character questions: exactly one character, lower-cased, and
// a member of its class.
#include "app/named_procedures.h"

#include <gtest/gtest.h>

#include <string>

namespace mailsift {
namespace {

struct ClassCase {
  std::string character;
  bool left;
  bool right;
  bool tld;
};

TEST(CharClasses, AcceptExactlyTheirMembers) {
  const ClassCase cases[] = {
      {"a", true, true, true},
      {"A", true, true, true},
      {"z", true, true, true},
      {"Z", true, true, true},
      {"0", true, true, false},
      {"9", true, true, false},
      {"_", true, false, false},
      {".", true, true, false},
      {"-", true, true, false},
      {"\xE4", false, true, false},
      {"\xC4", false, true, false},
      {"\xF6", false, true, false},
      {"\xD6", false, true, false},
      {"\xFC", false, true, false},
      {"\xDC", false, true, false},
      {"", false, false, false},
      {" ", false, false, false},
      {"@", false, false, false},
      {":", false, false, false},
      {"\xDF", false, false, false},
      {"+", false, false, false},
      {"ab", false, false, false},
      {std::string(1, '\0'), false, false, false},
      {"\xE9", false, false, false},
      {"\xC9", false, false, false},  // é and É are no members
  };
  for (const ClassCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "character 0x" << std::hex
                                    << (c.character.empty() ? -1 : static_cast<unsigned char>(c.character[0])));
    EXPECT_EQ(MailzeichenLinks(c.character), c.left);
    EXPECT_EQ(MailzeichenRechts(c.character), c.right);
    EXPECT_EQ(MailzeichenTLD(c.character), c.tld);
  }
}

}  // namespace
}  // namespace mailsift
