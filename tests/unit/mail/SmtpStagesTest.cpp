#include "mail/SmtpStages.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace mail {
namespace {

// A transcript line: '<' from the server, '>' from the client.
std::vector<SmtpStage> Play(SmtpStageTracker& tracker,
                            std::initializer_list<std::string_view> lines) {
    std::vector<SmtpStage> stages;
    for (std::string_view line : lines) {
        const std::string text = std::string(line.substr(2)) + "\r\n";
        if (line[0] == '<') {
            for (const SmtpStage& s : tracker.serverLines(text)) {
                stages.push_back(s);
            }
        } else {
            tracker.clientLine(text);
        }
    }
    return stages;
}

std::vector<SmtpEvent> Events(const std::vector<SmtpStage>& stages) {
    std::vector<SmtpEvent> events;
    for (const SmtpStage& s : stages) {
        events.push_back(s.event);
    }
    return events;
}

using E = SmtpEvent;

TEST(SmtpStagesTest, StartTlsConversationReportsEachStageOnceAndWhenItWasSecured) {
    SmtpStageTracker tracker(false);
    const auto stages = Play(tracker, {"< 220 mx ESMTP",
                                       "> EHLO host",
                                       "< 250-mx",
                                       "< 250-STARTTLS",
                                       "< 250 AUTH PLAIN LOGIN",
                                       "> STARTTLS",
                                       "< 220 Go ahead",
                                       "> EHLO host",
                                       "< 250-mx",
                                       "< 250 AUTH PLAIN LOGIN",
                                       "> AUTH LOGIN",
                                       "< 334 VXNlcm5hbWU6",
                                       "> Ym9i",
                                       "< 334 UGFzc3dvcmQ6",
                                       "> c2VjcmV0",
                                       "< 235 2.7.0 OK",
                                       "> MAIL FROM:<a@b>",
                                       "< 250 OK",
                                       "> RCPT TO:<a@b>",
                                       "< 250 OK",
                                       "> DATA",
                                       "< 354 go",
                                       "< 250 queued as 1",
                                       "> QUIT",
                                       "< 221 bye"});
    EXPECT_EQ(Events(stages), (std::vector<E>{E::ConnectionEstablished, E::ServiceInitialized,
                                              E::ServiceInitialized, E::AuthenticationCompleted}));
    EXPECT_FALSE(stages[1].secured);
    EXPECT_TRUE(stages[2].secured);
    EXPECT_EQ(tracker.lastReply(), "250 queued as 1");  // the 221 after QUIT does not count
    EXPECT_EQ(Events(tracker.finish(CURLE_OK, false)),
              (std::vector<E>{E::MessageSent, E::ConnectionTerminated}));
}

TEST(SmtpStagesTest, ImplicitTlsIsSecuredFromTheGreeting) {
    SmtpStageTracker tracker(true);
    const auto stages = Play(tracker, {"< 220 mx", "> EHLO host", "< 250 mx"});
    ASSERT_EQ(stages.size(), 2u);
    EXPECT_TRUE(stages[0].secured);
    EXPECT_TRUE(stages[1].secured);
}

TEST(SmtpStagesTest, RefusalsEndWithMessageNotSentAndKeepTheWholeReply) {
    SmtpStageTracker rcpt(false);
    Play(rcpt,
         {"< 220 mx", "> EHLO h", "< 250 mx", "> MAIL FROM:<a@b>", "< 250 OK", "> RCPT TO:<a@b>",
          "< 550-5.1.1 no such user", "< 550 5.1.1 really", "> QUIT", "< 221 bye"});
    EXPECT_EQ(rcpt.lastReply(), "550-5.1.1 no such user\n550 5.1.1 really");
    EXPECT_EQ(Events(rcpt.finish(CURLE_SEND_ERROR, false)),
              (std::vector<E>{E::MessageNotSent, E::ConnectionTerminated}));

    // Withholding the body (the delegate never asked to send) is no success either.
    SmtpStageTracker withheld(false);
    Play(withheld, {"< 220 mx", "> EHLO h", "< 250 mx", "> MAIL FROM:<a@b>", "< 250 OK",
                    "> RCPT TO:<a@b>", "< 250 OK", "> DATA", "< 354 go"});
    EXPECT_EQ(Events(withheld.finish(CURLE_ABORTED_BY_CALLBACK, false)),
              (std::vector<E>{E::MessageNotSent, E::ConnectionTerminated}));
}

TEST(SmtpStagesTest, HangingUpBeforeAnyMailIsACleanEnd) {
    SmtpStageTracker ready(false);
    Play(ready, {"< 220 mx", "> EHLO h", "< 250 mx"});
    EXPECT_EQ(Events(ready.finish(CURLE_OK, true)), (std::vector<E>{E::ConnectionTerminated}));
    EXPECT_EQ(Events(ready.finish(CURLE_ABORTED_BY_CALLBACK, true)),
              (std::vector<E>{E::ConnectionTerminated}));
    // A connection refused or a name unknown is neither lost nor timed out.
    EXPECT_EQ(Events(SmtpStageTracker(false).finish(CURLE_COULDNT_RESOLVE_HOST, false)),
              (std::vector<E>{E::ConnectionFailed, E::ConnectionTerminated}));
}

TEST(SmtpStagesTest, RepliesOutsideTheirCommandReachNoStage) {
    SmtpStageTracker tracker(false);
    // A second 220, a 235 nobody asked for, a refused EHLO.
    EXPECT_EQ(Events(Play(tracker, {"< 220 mx", "< 220 again", "< 235 odd", "> EHLO h",
                                    "< 502 no EHLO here"})),
              (std::vector<E>{E::ConnectionEstablished}));
}

}  // namespace
}  // namespace mail
