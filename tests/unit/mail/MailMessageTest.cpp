#include "mail/MailMessage.h"

#include <gtest/gtest.h>

#include <string>

namespace mail {
namespace {

MailMessage Notification(std::string body) {
    MailMessage m;
    m.subject = "OrbalenStatus Notification";
    m.from = "ops@example.org";
    m.recipient = "ops@example.org";
    m.content = std::move(body);
    return m;
}

TEST(MailMessageTest, NonAsciiBodyIsLabelledUtf8AndLinesEndInCrlf) {
    const std::string payload =
        Notification("Machine \"Zo\xC3\xAB\"\nline two\r\nthree").payload(0);
    EXPECT_NE(payload.find("charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n"),
              std::string::npos);
    EXPECT_NE(payload.find("\r\n\r\nMachine \"Zo\xC3\xAB\"\r\nline two\r\nthree\r\n"),
              std::string::npos);
}

TEST(MailAddressTest, MailboxIsTheBareAddress) {
    EXPECT_EQ(MailboxOf("jo@example.org"), "jo@example.org");
    EXPECT_EQ(MailboxOf(" jo@example.org"), "jo@example.org");  // piece after ", "
    EXPECT_EQ(MailboxOf("Jo Bloggs <jo@example.org>"), "jo@example.org");
}

TEST(MailAddressTest, LineBreaksAndNulAreUnsafe) {
    EXPECT_TRUE(IsSafeAddressText("Jo <jo@example.org>"));
    EXPECT_FALSE(IsSafeAddressText("jo@example.org\r\nRCPT TO:<x@y>"));
    EXPECT_FALSE(IsSafeAddressText("jo@example.org\nBcc: x@y"));
    EXPECT_FALSE(IsSafeAddressText(std::string("jo@example.org\0x", 16)));
}

}  // namespace
}  // namespace mail
