#include "base/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace {

using base::ReadAll;
using base::UniqueFd;
using base::WriteAll;

bool IsOpen(int fd) {
    return fcntl(fd, F_GETFD) != -1;
}

TEST(UniqueFdTest, ClosesExactlyOnceWhateverPathItTakes) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    {
        UniqueFd a(fds[0]);
        UniqueFd b(std::move(a));
        UniqueFd c;
        c = std::move(b);
        EXPECT_FALSE(a);
        EXPECT_EQ(c.get(), fds[0]);
        EXPECT_TRUE(IsOpen(fds[0]));
    }
    EXPECT_FALSE(IsOpen(fds[0]));
    UniqueFd writeEnd(fds[1]);
    EXPECT_EQ(writeEnd.close(), 0);
    EXPECT_FALSE(IsOpen(fds[1]));
    EXPECT_EQ(writeEnd.close(), 0);  // nothing left to close
}

// A pipe takes 64 KiB at a time, so a larger buffer goes out in partial writes
// and comes back in partial reads.
TEST(UniqueFdTest, WholeBuffersThroughPartialWritesReadsUpToTheCapAndSaysWhyItFailed) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    UniqueFd readEnd(fds[0]), writeEnd(fds[1]);
    std::string sent(1 << 20, '\0');
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<char>(i * 31);
    }
    std::string received;
    std::thread reader([&] { received = ReadAll(readEnd.get(), sent.size()).value_or("failed"); });
    EXPECT_EQ(WriteAll(writeEnd.get(), sent), 0);
    writeEnd.reset();
    reader.join();
    EXPECT_EQ(received, sent);

    testing_support::TempFolder folder;
    const std::string path = folder.path() / "file";
    ASSERT_EQ(WriteAll(UniqueFd(open(path.c_str(), O_WRONLY | O_CREAT, 0600)).get(), "0123456789"),
              0);
    int error = 0;
    EXPECT_EQ(ReadAll(UniqueFd(open(path.c_str(), O_RDONLY)).get(), 10, &error), "0123456789");
    EXPECT_EQ(ReadAll(UniqueFd(open(path.c_str(), O_RDONLY)).get(), 9, &error), std::nullopt);
    EXPECT_EQ(error, EFBIG);
    UniqueFd dir(open(folder.path().c_str(), O_RDONLY | O_DIRECTORY));
    EXPECT_EQ(ReadAll(dir.get(), 10, &error), std::nullopt);
    EXPECT_EQ(error, EISDIR);
}

}  // namespace
