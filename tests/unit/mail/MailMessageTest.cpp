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

// Whatever could end the mailbox early or add ESMTP parameters is refused.
TEST(MailMessageTest, OnlyPlainAddressesReachTheEnvelope) {
    EXPECT_EQ(PlainAddress(" jo@example.org\t"), "jo@example.org");  // a piece after ", "
    EXPECT_EQ(PlainAddress("jo.b+tag@mx.example.org"), "jo.b+tag@mx.example.org");
    const char* const refused[] = {
        "evil@x> NOTIFY=SUCCESS,FAILURE ORCPT=rfc822;spy@x <",
        "Jo Bloggs <jo@example.org>",
        "jo@example.org,spy@example.org",
        "jo@example.org;spy@example.org",
        "\"jo\"@example.org",
        "jo'@example.org",
        "jo@example.org\r\nRCPT TO:<x@y.z>",
        "jo@exa\x7Fmple.org",
        "jo example@org",
        "jo@",
        "@example.org",
        "jo@b@example.org",
        "example.org",
        "   ",
    };
    for (const char* text : refused) {
        EXPECT_EQ(PlainAddress(text), std::nullopt) << text;
    }
    EXPECT_EQ(PlainAddress(std::string_view("jo@example.org\0x", 16)), std::nullopt);
}

}  // namespace
}  // namespace mail
