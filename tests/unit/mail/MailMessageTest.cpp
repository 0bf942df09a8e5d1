#include "mail/MailMessage.h"

#include <gtest/gtest.h>

#include <string>

namespace mail {
namespace {

// A machine name may carry any letter: the label must then say so.
TEST(MailMessageTest, NonAsciiBodyIsLabelledUtf8AndLinesEndInCrlf) {
    MailMessage m;
    m.content = "Machine \"Zo\xC3\xAB\"\nline two\r\nthree";
    const std::string payload = m.payload(0);
    EXPECT_NE(payload.find("charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n"),
              std::string::npos);
    EXPECT_NE(payload.find("\r\n\r\nMachine \"Zo\xC3\xAB\"\r\nline two\r\nthree\r\n"),
              std::string::npos);
}

TEST(MailMessageTest, MailboxIsTheBareAddress) {
    EXPECT_EQ(MailboxOf(" jo@example.org"), "jo@example.org");  // piece after ", "
    EXPECT_EQ(MailboxOf("Jo Bloggs <jo@example.org>"), "jo@example.org");
}

}  // namespace
}  // namespace mail
