#include "mail/MailMessage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace mail {
namespace {

class MailMessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        savedTz_ = tz ? std::optional<std::string>(tz) : std::nullopt;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (savedTz_) {
            setenv("TZ", savedTz_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    static MailMessage Notification(std::string body) {
        MailMessage m;
        m.subject = "OrbalenStatus Notification";
        m.from = "ops@example.org";
        m.recipient = "ops@example.org";
        m.content = std::move(body);
        return m;
    }
    std::optional<std::string> savedTz_;
};

TEST_F(MailMessageTest, AsciiBodyGoesOutAsDeclaredUsAscii) {
    EXPECT_EQ(Notification("If you are reading this, the test passed.").payload(86400 * 3),
              "From: ops@example.org\r\n"
              "To: ops@example.org\r\n"
              "Subject: OrbalenStatus Notification\r\n"
              "Date: Sun, 04 Jan 1970 00:00:00 +0000\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=us-ascii\r\n"
              "Content-Transfer-Encoding: 7bit\r\n"
              "\r\n"
              "If you are reading this, the test passed.\r\n");
}

TEST_F(MailMessageTest, NonAsciiBodyIsLabelledUtf8AndLinesEndInCrlf) {
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
