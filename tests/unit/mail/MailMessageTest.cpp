// The message as composed and encoded, and the SMTP conversation's stages.
#include "mail/MailMessage.h"

#include "mail/LocalIdentity.h"
#include "mail/NotificationBody.h"
#include "mail/QuotedPrintable.h"
#include "mail/SmtpStages.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/CaseName.h"

namespace mail {
namespace {

// A machine name may carry any letter: the label must then say so, and the
// body must reach servers that take 7-bit text only.
TEST(MailMessageTest, BodyGoesAsIsOnlyWhenAsciiWithShortLines) {
    const struct {
        const char* name;
        std::string content;
        const char* headers;
        std::string body;
    } cases[] = {
        {"ascii", "line one\nline two\r\nthree",
         "charset=us-ascii\r\nContent-Transfer-Encoding: 7bit",
         "line one\r\nline two\r\nthree\r\n"},
        {"utf8", "Machine \"Zo\xC3\xAB\" = 1\r",
         "charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable",
         "Machine \"Zo=C3=AB\" =3D 1\r\n"},
        {"long line", std::string(998, 'a') + "\n" + std::string(999, 'b'),
         "charset=us-ascii\r\nContent-Transfer-Encoding: quoted-printable", ""},
    };
    for (const auto& c : cases) {
        MailMessage m;
        m.content = c.content;
        const std::string payload = m.payload(0);
        EXPECT_NE(payload.find(std::string(c.headers) + "\r\n\r\n"), std::string::npos) << c.name;
        if (!c.body.empty()) {
            EXPECT_TRUE(payload.ends_with("\r\n\r\n" + c.body)) << c.name;
        }
    }
}

TEST(QuotedPrintableTest, LinesStayShortAndNothingIsLeftRaw) {
    EXPECT_EQ(QuotedPrintable("a=b\tc \r\nend\t\r\n"), "a=3Db\tc=20\r\nend=09\r\n");
    EXPECT_EQ(QuotedPrintable("\x01\x7F\xFF"), "=01=7F=FF");
    // 76 characters at most, "=" of the soft break included; no escape is cut.
    const std::string encoded = QuotedPrintable(std::string(74, 'a') + "\xC3\xAB" + "b\r\n");
    EXPECT_EQ(encoded, std::string(74, 'a') + "=\r\n=C3=ABb\r\n");
    EXPECT_EQ(QuotedPrintable(std::string(76, 'a')), std::string(76, 'a'));
    EXPECT_EQ(QuotedPrintable(std::string(77, 'a')), std::string(75, 'a') + "=\r\naa");
}

TEST(LocalIdentityTest, OnlyFullAsciiNamesStandForTheMachine) {
    EXPECT_TRUE(IsUsableDomainName("vm-2.lan.example.net"));
    for (const char* bad : {"vm", "", "localhost.localdomain", "vm.local", "zo\xC3\xAB.example.org",
                            ".example.org", "example.org.", "a b.org"}) {
        EXPECT_FALSE(IsUsableDomainName(bad)) << bad;
    }
    const std::string id = NewMessageId(DomainOf("jo@example.org"));
    EXPECT_TRUE(id.ends_with("@example.org"));
    EXPECT_NE(id, NewMessageId("example.org"));
}

// Whatever could end the mailbox early or add ESMTP parameters is refused.
TEST(MailMessageTest, OnlyPlainAddressesReachTheEnvelope) {
    EXPECT_EQ(PlainAddress(" jo.b+tag@mx.example.org\t"), "jo.b+tag@mx.example.org");
    // One refused text per line.
    std::istringstream refused(
        "evil@x> NOTIFY=SUCCESS,FAILURE ORCPT=rfc822;spy@x <\nJo Bloggs <jo@example.org>\n"
        "jo@example.org,spy@example.org\n\"jo\"@example.org\njo@example.org\rRCPT\n"
        "jo@exa\x7Fmple.org\njo@\n@example.org\njo@b@example.org\n   ");
    for (std::string text; std::getline(refused, text);) {
        EXPECT_EQ(PlainAddress(text), std::nullopt) << text;
    }
    EXPECT_EQ(PlainAddress(std::string_view("jo@example.org\0x", 16)), std::nullopt);
}

TEST(NotificationBodyTest, ValuesAreNeverReadAsFormats) {
    EXPECT_EQ(FillPlaceholders("%@ and %@ at 100%%", {"%@", "%s%n"}), "%@ and %s%n at 100%");
    EXPECT_EQ(FillPlaceholders("%@ %@ %@", {"only"}), "only  ");
}

// One letter per stage, in SmtpEvent's order; "+" marks a secured one.
std::string Code(const std::vector<SmtpStage>& stages) {
    std::string code;
    for (const SmtpStage& s : stages) {
        code += std::string(code.empty() ? "" : " ") + "CIAFSNXLTE"[static_cast<int>(s.event)] +
                (s.secured ? "+" : "");
    }
    return code;
}

struct Case {
    const char* name;
    const char* transcript;  // '|'-separated lines: "<" from the server, ">" from us
    const char* stages;      // reached during the transcript
    CURLcode result;
    const char* closing;  // the stages finish() adds
    const char* lastReply;
    const char* required = "";  // the mechanism authentication must use, after STARTTLS
    bool replyAnswersAuthentication = false;
};
PRINT_CASE_BY_NAME(Case)

#define ENVELOPE "<220 mx|>EHLO h|<250 mx|>MAIL FROM:<a@b>|<250 OK|>RCPT TO:<a@b>|"
#define SECURED_EHLO "<220 mx|>EHLO h|<250-mx|<250 STARTTLS|>STARTTLS|<220 go|>EHLO h|<250-mx|"
const Case kCases[] = {
    {"RefusalKeepsTheWholeReply",
     ENVELOPE "<550-5.1.1 no such user|<550 5.1.1 really|>QUIT|<221 bye", "C I", CURLE_SEND_ERROR,
     "N E", "550-5.1.1 no such user\n550 5.1.1 really"},
    // The delegate never asked to send: no success either.
    {"WithheldBodyIsNotSent", ENVELOPE "<250 OK|>DATA|<354 go", "C I", CURLE_ABORTED_BY_CALLBACK,
     "N E", "354 go"},
    // A second 220, a 235 nobody asked for, a refused EHLO.
    {"RepliesOutOfTurnReachNoStage", "<220 mx|<220 again|<235 odd|>EHLO h|<502 no", "C",
     CURLE_WEIRD_SERVER_REPLY, "X E", "502 no"},
    // Only the offer made over TLS counts; the refusal answers AUTH.
    {"WrongPasswordAfterTheSecuredOffer",
     SECURED_EHLO "<250 AUTH=PLAIN LOGIN|>AUTH LOGIN|<334 VXNlcm5hbWU6|>Ym9i|<535 5.7.8 no",
     "C I I+", CURLE_LOGIN_DENIED, "F+ E+", "535 5.7.8 no", "LOGIN", true},
    // libcurl would go on to MAIL without the mechanism; a longer name is not it.
    {"ForcedMechanismNotOffered", SECURED_EHLO "<250 AUTH LOGIN PLAINX", "C I I+",
     CURLE_WRITE_ERROR, "F+ E+", "250-mx\n250 AUTH LOGIN PLAINX", "PLAIN"},
};

class SmtpStagesTest : public ::testing::TestWithParam<Case> {};

TEST_P(SmtpStagesTest, StagesFollowTheTranscript) {
    const Case& c = GetParam();
    SmtpStageTracker tracker(false);
    if (*c.required != '\0') {
        tracker.requireAuthentication(c.required, true);
    }
    std::vector<SmtpStage> stages;
    std::istringstream transcript(c.transcript);
    for (std::string line; std::getline(transcript, line, '|');) {
        if (line[0] == '>') {
            tracker.clientLine(line.substr(1) + "\r\n");
        } else {
            for (const SmtpStage& s : tracker.serverLines(line.substr(1) + "\r\n")) {
                stages.push_back(s);
            }
        }
    }
    EXPECT_EQ(Code(stages), c.stages);
    EXPECT_EQ(Code(tracker.finish(c.result, false)), c.closing);
    EXPECT_EQ(tracker.lastReply(), c.lastReply);
    EXPECT_EQ(tracker.lastReplyAnswersAuthentication(), c.replyAnswersAuthentication);
}

INSTANTIATE_TEST_SUITE_P(Transcripts, SmtpStagesTest, ::testing::ValuesIn(kCases), CaseName());

}  // namespace
}  // namespace mail
