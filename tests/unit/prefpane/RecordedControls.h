#pragma once

#include <map>
#include <string>

#include "prefpane/PrefControls.h"

namespace prefpane {

// Controls as plain values, for driving the logic without a window.
class RecordedControls : public PrefControls {
public:
    std::string text(TextField field) const override {
        const auto found = texts.find(field);
        return found == texts.end() ? "" : found->second;
    }
    void setText(TextField field, const std::string& text) override { texts[field] = text; }
    bool isChecked(CheckBox box) const override {
        const auto found = boxes.find(box);
        return found != boxes.end() && found->second;
    }
    void setChecked(CheckBox box, bool on) override { boxes[box] = on; }
    int authenticationIndex() const override { return authentication; }
    void selectAuthentication(int index) override { authentication = index; }
    void showProblem(TextField field, const std::string& message) override {
        problems[field] = message;
    }
    void showProblem(CheckBox box, const std::string& message) override {
        boxProblems[box] = message;
    }
    void showMailStatus(const std::string& lines) override { mailStatus = lines; }

    std::map<TextField, std::string> texts;
    std::map<CheckBox, bool> boxes;
    std::map<TextField, std::string> problems;
    std::map<CheckBox, std::string> boxProblems;
    std::string mailStatus;
    int authentication = 0;
};

}  // namespace prefpane
