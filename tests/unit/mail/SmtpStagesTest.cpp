#include "mail/SmtpStages.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/CaseName.h"

namespace mail {
namespace {

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

const Case kCases[] = {
    {"RefusalKeepsTheWholeReply",
     "<220 mx|>EHLO h|<250 mx|>MAIL FROM:<a@b>|<250 OK|>RCPT TO:<a@b>|<550-5.1.1 no such user|"
     "<550 5.1.1 really|>QUIT|<221 bye",
     "C I", CURLE_SEND_ERROR, "N E", "550-5.1.1 no such user\n550 5.1.1 really"},
    // The delegate never asked to send: no success either.
    {"WithheldBodyIsNotSent",
     "<220 mx|>EHLO h|<250 mx|>MAIL FROM:<a@b>|<250 OK|>RCPT TO:<a@b>|<250 OK|>DATA|<354 go", "C I",
     CURLE_ABORTED_BY_CALLBACK, "N E", "354 go"},
    // Neither lost nor timed out: an error of its own.
    {"UnknownHostFails", "", "", CURLE_COULDNT_RESOLVE_HOST, "X E", ""},
    // A second 220, a 235 nobody asked for, a refused EHLO.
    {"RepliesOutOfTurnReachNoStage", "<220 mx|<220 again|<235 odd|>EHLO h|<502 no", "C",
     CURLE_WEIRD_SERVER_REPLY, "X E", "502 no"},
    // Only the offer made over TLS counts; the refusal answers AUTH.
    {"WrongPasswordAfterTheSecuredOffer",
     "<220 mx|>EHLO h|<250-mx|<250 STARTTLS|>STARTTLS|<220 go|>EHLO h|<250-mx|"
     "<250 AUTH=PLAIN LOGIN|>AUTH LOGIN|<334 VXNlcm5hbWU6|>Ym9i|<535 5.7.8 no",
     "C I I+", CURLE_LOGIN_DENIED, "F+ E+", "535 5.7.8 no", "LOGIN", true},
    // libcurl would go on to MAIL without authenticating.
    {"NoAuthenticationOffered",
     "<220 mx|>EHLO h|<250-mx|<250 STARTTLS|>STARTTLS|<220 go|>EHLO h|<250-mx|<250 SIZE 9",
     "C I I+", CURLE_WRITE_ERROR, "F+ E+", "250-mx\n250 SIZE 9", "PLAIN"},
    {"ForcedMechanismNotOffered",
     "<220 mx|>EHLO h|<250-mx|<250 STARTTLS|>STARTTLS|<220 go|>EHLO h|<250-mx|<250 AUTH LOGIN "
     "PLAINX",
     "C I I+", CURLE_WRITE_ERROR, "F+ E+", "250-mx\n250 AUTH LOGIN PLAINX", "PLAIN"},
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
