#include "base/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace {

using base::ReadAll;
using base::UniqueFd;
using base::WriteAll;

TEST(UniqueFdTest, ClosesOnceAndMovesWholeBuffersUpToTheCap) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    {
        UniqueFd a(fds[0]), c;
        c = UniqueFd(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_NE(fcntl(fds[0], F_GETFD), -1);
    }
    EXPECT_EQ(fcntl(fds[0], F_GETFD), -1);  // closed once, by its last owner
    UniqueFd writeEnd(fds[1]);
    EXPECT_EQ(writeEnd.close(), 0);
    EXPECT_EQ(fcntl(fds[1], F_GETFD), -1);

    // A megabyte is more than a pipe holds: it comes back whole through many reads,
    // up to exactly the cap.
    ASSERT_EQ(pipe(fds), 0);
    UniqueFd readEnd(fds[0]);
    writeEnd.reset(fds[1]);
    std::string sent(1 << 20, '\0');
    std::generate(sent.begin(), sent.end(),
                  [i = 0]() mutable { return static_cast<char>(i++ * 31); });
    std::string received;
    std::thread reader([&] { received = ReadAll(readEnd.get(), sent.size()).value_or("failed"); });
    EXPECT_EQ(WriteAll(writeEnd.get(), sent), 0);
    writeEnd.reset();
    reader.join();
    EXPECT_EQ(received, sent);

    // One byte over the cap fails with EFBIG; a failed read says why.
    ASSERT_EQ(pipe(fds), 0);
    UniqueFd smallRead(fds[0]);
    EXPECT_EQ(WriteAll(UniqueFd(fds[1]).get(), "0123456789"), 0);
    int error = 0;
    EXPECT_EQ(ReadAll(smallRead.get(), 9, &error), std::nullopt);
    EXPECT_EQ(error, EFBIG);
}

}  // namespace
