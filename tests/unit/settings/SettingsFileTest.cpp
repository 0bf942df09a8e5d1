// How the store keeps a settings file private and readable: what it refuses
// to write, what it leaves out or decodes when reading, and what it sets aside.
#include <sys/stat.h>

#include <fstream>
#include <future>
#include <nlohmann/json.hpp>
#include <set>

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
    std::set<std::string> folderEntries() const {
        std::set<std::string> found;
        for (const auto& entry : fs::directory_iterator(userFolder())) {
            found.insert(entry.path().filename().string());
        }
        return found;
    }
    std::vector<fs::path> setAsideFiles() const {
        std::vector<fs::path> found;
        for (const std::string& name : folderEntries()) {
            if (name.find(".json.unreadable-") != std::string::npos) {
                found.push_back(userFolder() / name);
            }
        }
        return found;
    }
    static std::string Nested(int depth) {
        return std::string(static_cast<std::size_t>(depth), '[') +
               std::string(static_cast<std::size_t>(depth), ']');
    }

    RecordingAlert alert_;
    testing_support::SystemLogRecorder systemLog_;
};

TEST_F(SettingsFileTest, ValuesKeepTheirTypesInAPrivateFileReplacedWhole) {
    EXPECT_FALSE(CopyAppValue("MailServer"));
    EXPECT_TRUE(AppSynchronize());
    EXPECT_FALSE(fs::exists(userFile())) << "nothing pending, nothing written";

    SetAppValue("TitleIconOnly", true);
    SetAppValue("MinutesInterval", std::int64_t{30});
    SetAppValue("Ratio", 2.5);
    SetAppValue("UserPassword", std::string("s3cret \xc3\xa9"));
    EXPECT_EQ(CopyAppValue("TitleIconOnly"), Value(true)) << "visible before synchronizing";
    ASSERT_TRUE(AppSynchronize());
    EXPECT_EQ(fs::status(userFile()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(userFolder()).permissions(), fs::perms::owner_all);
    EXPECT_EQ(
        nlohmann::json::parse(ReadText(userFile())).dump(),
        R"({"MinutesInterval":30,"Ratio":2.5,"TitleIconOnly":true,"UserPassword":"s3cret é"})");

    // A write replaces the file, never rewrites it in place: a reader that
    // opened it before still reads it whole, as a crash would leave it.
    std::ifstream before(userFile());
    SetAppValue("MinutesInterval", std::int64_t{31});
    ASSERT_TRUE(AppSynchronize());
    EXPECT_EQ(nlohmann::json::parse(before)["MinutesInterval"], 30);

    // A writer killed mid-write left its temporary copy, password and all:
    // the next writer removes it, and only it.
    const std::string name = userFile().filename().string();
    for (const std::string& leftover : {name + ".Ab12Cd", name + ".unreadable-20260101-120000",
                                        name + ".Ab12Cde", std::string("other.json.Ab12Cd")}) {
        testing_support::WriteText(userFolder() / leftover, "{\"UserPassword\": \"s3cret\"}");
    }
    SetAppValue("Ratio", std::nullopt);
    ASSERT_TRUE(AppSynchronize());
    EXPECT_FALSE(nlohmann::json::parse(ReadText(userFile())).contains("Ratio"));
    EXPECT_EQ(folderEntries(),
              (std::set<std::string>{name, name + ".lock", name + ".unreadable-20260101-120000",
                                     name + ".Ab12Cde", "other.json.Ab12Cd"}));
}

TEST_F(SettingsFileTest, ChangesTheFileCouldNotHoldAreRefusedAndTheRestSurvives) {
    SetAppValue("MailServer", std::string("smtp.example.org"));
    ASSERT_TRUE(AppSynchronize());
    const std::string before = ReadText(userFile());

    // Control bytes take six bytes each once escaped: 1 MiB of them needs 6 MiB.
    SetAppValue("Big", std::string(1024 * 1024, '\x01'));
    EXPECT_FALSE(AppSynchronize());
    EXPECT_NE(lastProblem().find("more than 4 MiB"), std::string::npos) << lastProblem();
    EXPECT_EQ(ReadText(userFile()), before);
    EXPECT_FALSE(CopyAppValue("Big")) << "nothing stored, nothing pending";

    // Text that is not UTF-8 is refused rather than changed into U+FFFD.
    SetAppValue("Name", std::string("caf\xe9"));
    SetAppValue("Port", std::string("587"));
    EXPECT_FALSE(AppSynchronize());
    EXPECT_NE(lastProblem().find("\"Name\" (its key or text is not UTF-8)"), std::string::npos)
        << lastProblem();
    EXPECT_TRUE(systemLog_.contains("not UTF-8"));

    ASSERT_TRUE(AppSynchronize()) << "refused changes are not retried";
    EXPECT_EQ(nlohmann::json::parse(ReadText(userFile())).dump(),
              R"({"MailServer":"smtp.example.org","Port":"587"})");
}

// Another program's file: text that is not UTF-8 reads as Mac OS Roman (0x8E
// is "é"), entries nested too deep are left out once, and the file we write
// back keeps one entry per line however deep the rest nests.
TEST_F(SettingsFileTest, ForeignTextIsDecodedDeepEntriesLeftOutIndentationFlat) {
    ReplaceFile(userFile(),
                "{\"Server\": \"caf\x8e \\\"q\\\"\", \"Name\": \"Zo\xc3\xab\", "
                "\"Deep\": " +
                    Nested(3000) + ", \"Kept\": " + Nested(settings::kMaxEntryNesting) +
                    R"(, "List": [[1, 2], {"x": [3]}]})");
    EXPECT_EQ(CopyAppValue("Server"), Value(std::string("caf\xc3\xa9 \"q\"")));
    EXPECT_EQ(CopyAppValue("Name"), Value(std::string("Zo\xc3\xab")));
    SetAppValue("B", true);
    ASSERT_TRUE(AppSynchronize());
    SetAppValue("C", true);
    ASSERT_TRUE(AppSynchronize());
    EXPECT_TRUE(setAsideFiles().empty());
    EXPECT_TRUE(alert_.shown.empty());

    const std::string text = ReadText(userFile());
    const auto file = nlohmann::json::parse(text);
    EXPECT_FALSE(file.contains("Deep"));
    EXPECT_EQ(file["Kept"], nlohmann::json::parse(Nested(settings::kMaxEntryNesting)));
    EXPECT_EQ(file["List"], nlohmann::json::parse(R"([[1, 2], {"x": [3]}])"));
    EXPECT_EQ(systemLog_.count("\"Deep\""), 1u) << "reported once, not at every read";
    EXPECT_EQ(text.find("     "), std::string::npos) << "indentation grew: " << text;
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
    EXPECT_EQ(lastProblem(), userFile().string() + " is not a regular file");
    SetAppValue("A", true);
    EXPECT_FALSE(AppSynchronize());
    EXPECT_TRUE(fs::is_fifo(userFile())) << "not replaced";
    EXPECT_EQ(systemLog_.count("is not a regular file"), 1u) << "reported once in a row";
}

}  // namespace
