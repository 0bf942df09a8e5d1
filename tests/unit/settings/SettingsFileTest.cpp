// How the store keeps a settings file readable: what it refuses to write, what
// it leaves out or decodes when reading, and what it sets aside.
#include <sys/stat.h>

#include <future>
#include <nlohmann/json.hpp>

#include "SettingsTestFolders.h"
#include "platform/Alert.h"
#include "settings/PreferenceDomain.h"
#include "settings/SettingsText.h"
#include "support/LogRecorder.h"

namespace fs = std::filesystem;

namespace {

// Records each alert; while one is up, it reads the settings as code run by
// the alert's event loop would.
class RecordingAlert : public platform::Alert {
public:
    std::int32_t showStopAlert(std::string_view message, std::string_view explanation) override {
        shown.push_back(std::string(message) + " " + std::string(explanation));
        settings::CopyAppValue("MailServer");
        settings::AppSynchronize();
        return 0;
    }
    std::vector<std::string> shown;
};

class SettingsFileTest : public SettingsTestFolders {
protected:
    void SetUp() override { platform::SetCurrentAlert(&alert_); }
    void TearDown() override { platform::SetCurrentAlert(nullptr); }

    std::string lastProblem() { return settings::UserDomain(settings::kDomain)->lastProblem(); }
    std::vector<fs::path> setAsideFiles() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(userFolder())) {
            if (entry.path().filename().string().find(".json.unreadable-") != std::string::npos) {
                found.push_back(entry.path());
            }
        }
        std::sort(found.begin(), found.end());
        return found;
    }
    static std::string Nested(int depth) {
        return std::string(static_cast<std::size_t>(depth), '[') +
               std::string(static_cast<std::size_t>(depth), ']');
    }

    RecordingAlert alert_;
    testing_support::SystemLogRecorder systemLog_;
};

TEST_F(SettingsFileTest, ChangesTheFileCouldNotHoldAreRefusedAndTheRestSurvives) {
    SetAppValue("MailServer", std::string("smtp.example.org"));
    ASSERT_TRUE(AppSynchronize());
    const std::string before = ReadText(userFile());

    // Control bytes take six bytes each once escaped, so this 1 MiB text
    // needs 6 MiB of file.
    const std::string controls(1024 * 1024, '\x01');
    const std::pair<const char*, Value> tooLarge[] = {
        {"long text", Value(std::string(settings::kMaxSettingsFileSize, 'a'))},
        {"control bytes", Value(controls)},
    };
    for (const auto& [what, value] : tooLarge) {
        SetAppValue("Big", value);
        EXPECT_FALSE(AppSynchronize()) << what;
        EXPECT_NE(lastProblem().find("more than 4 MiB"), std::string::npos) << lastProblem();
        EXPECT_EQ(ReadText(userFile()), before) << what;
        EXPECT_FALSE(CopyAppValue("Big")) << what << ": nothing stored, nothing pending";
    }

    // Text that is not UTF-8 is refused rather than changed into U+FFFD.
    SetAppValue("Name", std::string("caf\xe9"));
    SetAppValue("Port", std::string("587"));
    EXPECT_FALSE(AppSynchronize());
    EXPECT_NE(lastProblem().find("\"Name\" (its key or text is not UTF-8)"), std::string::npos)
        << lastProblem();
    EXPECT_TRUE(systemLog_.contains("not UTF-8"));

    ASSERT_TRUE(AppSynchronize()) << "refused changes are not retried";
    const auto file = nlohmann::json::parse(ReadText(userFile()));
    EXPECT_FALSE(file.contains("Name"));
    EXPECT_EQ(file["Port"], "587") << "the storable change of the same round is kept";
    EXPECT_EQ(file["MailServer"], "smtp.example.org");
}

TEST_F(SettingsFileTest, DeepEntriesAreLeftOutOnceAndTheFileIndentationStaysFlat) {
    ReplaceFile(userFile(), R"({"A": 1, "Deep": )" + Nested(3000) + R"(, "Kept": )" +
                                Nested(settings::kMaxEntryNesting) +
                                R"(, "List": [[1, 2], {"x": [3]}]})");
    EXPECT_EQ(CopyAppValue("A"), Value(std::int64_t{1}));
    SetAppValue("B", true);
    ASSERT_TRUE(AppSynchronize());
    SetAppValue("C", true);
    ASSERT_TRUE(AppSynchronize());

    const std::string text = ReadText(userFile());
    EXPECT_LT(text.size(), 400u);
    const auto file = nlohmann::json::parse(text);
    EXPECT_FALSE(file.contains("Deep"));
    EXPECT_EQ(file["Kept"], nlohmann::json::parse(Nested(settings::kMaxEntryNesting)));
    EXPECT_EQ(file["List"], nlohmann::json::parse(R"([[1, 2], {"x": [3]}])"));
    EXPECT_EQ(systemLog_.count("\"Deep\""), 1u) << "reported once, not at every read";
    EXPECT_EQ(systemLog_.count("\"Kept\""), 0u);

    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.find("     "), std::string::npos) << "indentation grew: " << line;
    }
}

TEST_F(SettingsFileTest, StoredTextThatIsNotUtf8IsReadAsMacOSRoman) {
    // 0x8E is "é" in Mac OS Roman; the file's other strings are UTF-8.
    ReplaceFile(userFile(),
                "{\"Server\": \"caf\x8e \\\"q\\\"\", \"Name\": \"Zo\xc3\xab\", "
                "\"Port\": 25}");
    EXPECT_EQ(CopyAppValue("Server"), Value(std::string("caf\xc3\xa9 \"q\"")));
    EXPECT_EQ(CopyAppValue("Name"), Value(std::string("Zo\xc3\xab")));
    EXPECT_EQ(CopyAppValue("Port"), Value(std::int64_t{25}));
    EXPECT_TRUE(setAsideFiles().empty());
    EXPECT_TRUE(alert_.shown.empty());
}

TEST_F(SettingsFileTest, OnlyTextThatIsNotJsonIsSetAsideAndNeverOverAnEarlierCopy) {
    const std::string garbage[] = {"{\"MailServer\": \"a\", oops", "not json at all"};
    for (const auto& text : garbage) {
        ReplaceFile(userFile(), text);
        // The alert reads the settings while it is up: no lock may be held.
        auto synchronizing = std::async(std::launch::async, [] { return AppSynchronize(); });
        ASSERT_EQ(synchronizing.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_TRUE(synchronizing.get());
        EXPECT_FALSE(CopyAppValue("MailServer"));
    }
    const auto aside = setAsideFiles();
    ASSERT_EQ(aside.size(), 2u) << "two set aside within a second keep their own names";
    EXPECT_EQ(ReadText(aside[0]), garbage[0]);
    EXPECT_EQ(ReadText(aside[1]), garbage[1]);

    ASSERT_EQ(alert_.shown.size(), 2u) << "the user is told where the file went";
    EXPECT_NE(alert_.shown[1].find(aside[1].string()), std::string::npos) << alert_.shown[1];
    EXPECT_TRUE(systemLog_.contains(aside[0].string()));

    SetAppValue("MailServer", std::string("smtp.example.net"));
    ASSERT_TRUE(AppSynchronize());
    EXPECT_EQ(ReadText(aside[0]), garbage[0]);
    EXPECT_EQ(nlohmann::json::parse(ReadText(userFile()))["MailServer"], "smtp.example.net");

    // A file too large to read is no reason to set it aside: it stays, and
    // nothing is written over it.
    ReplaceFile(userFile(),
                "{\"A\": \"" + std::string(settings::kMaxSettingsFileSize, 'a') + "\"}");
    const auto size = fs::file_size(userFile());
    SetAppValue("B", true);
    EXPECT_FALSE(AppSynchronize());
    EXPECT_NE(lastProblem().find("too large"), std::string::npos) << lastProblem();
    EXPECT_EQ(fs::file_size(userFile()), size);
    EXPECT_EQ(setAsideFiles().size(), 2u);
}

TEST_F(SettingsFileTest, SomethingOtherThanAFileAtTheSettingsPathIsReportedWithoutWaiting) {
    fs::create_directories(userFolder());
    ASSERT_EQ(mkfifo(userFile().c_str(), 0600), 0);
    // A reader that opened the FIFO for reading would wait for a writer forever.
    auto reading = std::async(std::launch::async, [] { return AppSynchronize(); });
    ASSERT_EQ(reading.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(reading.get());
    EXPECT_NE(lastProblem().find("is not a regular file"), std::string::npos) << lastProblem();
    SetAppValue("A", true);
    EXPECT_FALSE(AppSynchronize());
    EXPECT_TRUE(fs::is_fifo(userFile())) << "not replaced";
    EXPECT_EQ(systemLog_.count("is not a regular file"), 1u) << "reported once in a row";
    fs::remove(userFile());

    fs::create_directory(userFile());
    EXPECT_FALSE(AppSynchronize());
    EXPECT_EQ(lastProblem(), userFile().string() + " is not a regular file");
}

}  // namespace
