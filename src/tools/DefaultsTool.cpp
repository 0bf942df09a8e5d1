// orbalenstatus-defaults: reads and writes the program's settings from the
// command line, after the familiar "defaults" tool.
//
//   orbalenstatus-defaults read DOMAIN [KEY]
//   orbalenstatus-defaults write DOMAIN KEY -bool YES|NO | -int N | -float X | -string TEXT
//   orbalenstatus-defaults delete DOMAIN KEY
//   orbalenstatus-defaults notify
//   orbalenstatus-defaults keys [--man]
//   orbalenstatus-defaults --help | --version
#include <QCoreApplication>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/Utf8.h"
#include "platform/qt/DBusNotificationCenter.h"
#include "settings/PreferenceDomain.h"
#include "settings/Preferences.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsTable.h"

namespace {

using settings::Value;
using Args = std::vector<std::string>;

constexpr int kUsageError = 2;

constexpr const char* kUsage =
    "usage: orbalenstatus-defaults read DOMAIN [KEY]\n"
    "       orbalenstatus-defaults write DOMAIN KEY -bool YES|NO | -int N | -float X | -string "
    "TEXT\n"
    "       orbalenstatus-defaults delete DOMAIN KEY\n"
    "       orbalenstatus-defaults notify\n"
    "       orbalenstatus-defaults keys [--man]\n"
    "       orbalenstatus-defaults --help | --version\n";

int Usage() {
    std::cerr << kUsage;
    return kUsageError;
}

int Fail(const std::string& message) {
    std::cerr << "orbalenstatus-defaults: " << message << "\n";
    return 1;
}

std::string TypeName(const Value& value) {
    static const char* names[] = {"boolean", "integer", "float", "string"};
    return names[value.index()];
}

// Booleans print as 1 or 0, as the familiar tool does.
std::string Text(const Value& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                return v ? "1" : "0";
            } else if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else {
                std::ostringstream text;
                text << v;
                return text.str();
            }
        },
        value);
}

std::optional<bool> ParseBool(std::string text) {
    for (auto& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (text == "yes" || text == "true" || text == "1") {
        return true;
    }
    if (text == "no" || text == "false" || text == "0") {
        return false;
    }
    return std::nullopt;
}

std::optional<std::int64_t> ParseInteger(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long long number = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE) {
        return std::nullopt;
    }
    return number;
}

std::optional<double> ParseReal(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const double number = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(number)) {
        return std::nullopt;
    }
    return number;
}

std::optional<Value> ParseValue(const std::string& type, const std::string& text,
                                std::string& problem) {
    std::optional<Value> value;
    if (type == "-bool" || type == "-boolean") {
        if (auto flag = ParseBool(text)) {
            value = *flag;
        }
    } else if (type == "-int" || type == "-integer") {
        if (auto number = ParseInteger(text)) {
            value = *number;
        }
    } else if (type == "-float") {
        if (auto number = ParseReal(text)) {
            value = *number;
        }
    } else if (type == "-string") {
        if (!foundation::IsValidUtf8(text)) {
            problem = "the text is not UTF-8, and the settings file holds only UTF-8 text";
            return std::nullopt;
        }
        value = text;
    } else {
        problem = "unknown type " + type + " (use -bool, -int, -float or -string)";
        return std::nullopt;
    }
    if (!value) {
        problem = "\"" + text + "\" is not a valid " + type.substr(1) + " value";
    }
    return value;
}

// How to write a value of the given type, for the refusal's message.
std::string WriteAdvice(settings::SettingType type) {
    switch (type) {
        case settings::SettingType::Boolean:
            return "use -bool YES or NO";
        case settings::SettingType::Integer:
            return "use -int N";
        case settings::SettingType::String:
            return "use -string TEXT";
        case settings::SettingType::StringOrInteger:
            break;
    }
    return "use -string TEXT or -int N";
}

bool TypeFits(settings::SettingType type, const std::string& option) {
    using settings::SettingType;
    const bool isBool = option == "-bool" || option == "-boolean";
    const bool isInt = option == "-int" || option == "-integer";
    switch (type) {
        case SettingType::Boolean:
            return isBool;
        case SettingType::Integer:
            return isInt;
        case SettingType::String:
            return option == "-string";
        case SettingType::StringOrInteger:
            break;
    }
    return isInt || option == "-string";
}

// In the program's own domain a key it reads must keep its type: a reader
// treats any other type as absent, so a wrong one would silently switch the
// setting back to its default. False when the write must not happen.
bool CheckOwnKey(const std::string& domain, const std::string& key, const std::string& option) {
    const settings::SettingInfo* entry =
        domain == settings::kDomain ? settings::FindSetting(key) : nullptr;
    if (!entry || TypeFits(entry->type, option)) {
        return true;
    }
    std::string article = entry->type == settings::SettingType::Integer ? "an " : "a ";
    Fail(key + " is " + article + std::string(settings::TypeName(entry->type)) + ": " +
         WriteAdvice(entry->type) + "; nothing was changed");
    return false;
}

bool CheckDomain(const std::string& domain) {
    if (!settings::UserSettingsFile(domain)) {
        Fail("\"" + domain + "\" is not a valid domain name");
        return false;
    }
    return true;
}

// Synchronizes the domain; false, with the reason printed, when that failed.
bool Synchronize(const std::string& domain, const std::string& what) {
    settings::PreferenceDomain* store = settings::UserDomain(domain);
    if (store && store->synchronize()) {
        return true;
    }
    Fail("could not " + what + " the settings of " + domain + ": " +
         (store ? store->lastProblem() : "no settings file"));
    return false;
}

int Read(const Args& args) {
    if (args.size() < 1 || args.size() > 2) {
        return Usage();
    }
    const std::string& domain = args[0];
    if (!CheckDomain(domain)) {
        return 1;
    }
    if (!Synchronize(domain, "read")) {
        return 1;
    }
    if (args.size() == 2) {
        const auto value = settings::CopyAppValue(args[1], domain);
        if (!value) {
            return Fail("the domain/default pair of (" + domain + ", " + args[1] +
                        ") does not exist");
        }
        std::cout << Text(*value) << "\n";
        return 0;
    }
    const auto all = settings::CopyAllAppValues(domain);
    if (all.empty()) {
        return Fail("domain " + domain + " does not exist");
    }
    for (const auto& [key, value] : all) {
        std::cout << "\"" << key << "\" (" << TypeName(value) << ") = " << Text(value) << "\n";
    }
    return 0;
}

int Write(const Args& args) {
    if (args.size() != 4) {
        return Usage();
    }
    const std::string& domain = args[0];
    if (!CheckDomain(domain)) {
        return 1;
    }
    if (!foundation::IsValidUtf8(args[1])) {
        return Fail(
            "the key is not UTF-8, and the settings file holds only UTF-8 text; nothing "
            "was changed");
    }
    if (!CheckOwnKey(domain, args[1], args[2])) {
        return 1;
    }
    std::string problem;
    auto value = ParseValue(args[2], args[3], problem);
    if (!value) {
        return Fail(problem + "; nothing was changed");
    }
    // Other keys are the user's business, but a misspelling is the likely cause.
    if (domain == settings::kDomain && !settings::FindSetting(args[1])) {
        std::cerr << "orbalenstatus-defaults: warning: OrbalenStatus does not read \"" << args[1]
                  << "\" (keys are case-sensitive; see man orbalenstatus); written all the same\n";
    }
    if (!Synchronize(domain, "read")) {
        return 1;
    }
    settings::SetAppValue(args[1], std::move(value), domain);
    return Synchronize(domain, "save") ? 0 : 1;
}

int Delete(const Args& args) {
    if (args.size() != 2) {
        return Usage();
    }
    const std::string& domain = args[0];
    if (!CheckDomain(domain)) {
        return 1;
    }
    if (!Synchronize(domain, "read")) {
        return 1;
    }
    if (!settings::CopyAppValue(args[1], domain)) {
        return Fail("the domain/default pair of (" + domain + ", " + args[1] + ") does not exist");
    }
    settings::SetAppValue(args[1], std::nullopt, domain);
    return Synchronize(domain, "save") ? 0 : 1;
}

// Every key the program reads, as the table README.md shows, or as the
// entries of the SETTINGS section of orbalenstatus(1). Both documents carry
// this text unchanged (a test compares them).
int Keys(const Args& args) {
    const bool man = args.size() == 1 && args[0] == "--man";
    if (!args.empty() && !man) {
        return Usage();
    }
    if (!man) {
        std::cout << "| Key | Type | Default | Set by | Meaning |\n|---|---|---|---|---|\n";
    }
    for (const settings::SettingInfo& s : settings::kSettingsTable) {
        const auto type = settings::TypeName(s.type);
        if (man) {
            std::cout << ".TP\n.B \"" << s.key << "\"\n"
                      << type << ", default " << s.defaultText << ", set by " << s.writers << ".\n"
                      << s.meaning << "\n";
        } else {
            std::cout << "| `" << s.key << "` | " << type << " | " << s.defaultText << " | "
                      << s.writers << " | " << s.meaning << " |\n";
        }
    }
    return 0;
}

int Notify(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    platform::DBusNotificationCenter center;
    if (!center.connectedToBus()) {
        return Fail("no session bus to post on");
    }
    center.post(settings::keys::kPreferencesChangedName, settings::keys::kPreferencesChangedObject);
    if (!center.flush()) {
        return Fail("the session bus did not take the notification");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    const std::string command = argv[1];
    const Args args(argv + 2, argv + argc);
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "--version") {
        std::cout << "orbalenstatus-defaults (OrbalenStatus) " ORBALEN_VERSION "\n";
        return 0;
    }
    if (command == "read") {
        return Read(args);
    }
    if (command == "write") {
        return Write(args);
    }
    if (command == "delete") {
        return Delete(args);
    }
    if (command == "keys") {
        return Keys(args);
    }
    if (command == "notify" && args.empty()) {
        return Notify(argc, argv);
    }
    return Usage();
}
