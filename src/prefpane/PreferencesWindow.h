#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <map>

#include "prefpane/OrbalenStatusPrefPane.h"

class QFormLayout;
class QGroupBox;

namespace prefpane {

// The preferences window, in two columns so it fits a 1280x720 screen: the
// panel title, external address and remembered addresses on the left, the
// e-mail settings with the test button and its outcome on the right. Every
// message has a slot of fixed height, so the window never grows. Closing
// it in any way (Close, Escape, the window manager) saves through the
// logic; showing it refills it from the store.
class PreferencesWindow : public QDialog, public PrefControls {
public:
    explicit PreferencesWindow(PrefPaneServices services, QWidget* parent = nullptr);

    OrbalenStatusPrefPane& pane() { return pane_; }
    // Shows the window, or brings it to the front when it is open.
    void present();

    std::string text(TextField field) const override;
    void setText(TextField field, const std::string& text) override;
    bool isChecked(CheckBox box) const override;
    void setChecked(CheckBox box, bool on) override;
    int authenticationIndex() const override;
    void selectAuthentication(int index) override;
    void showProblem(TextField field, const std::string& message) override;
    void showProblem(CheckBox box, const std::string& message) override;
    void showMailStatus(const std::string& lines) override;

    QLineEdit* field(TextField field) const { return fields_.at(field); }
    QCheckBox* checkBox(CheckBox box) const { return boxes_.at(box); }
    QComboBox* authentication() const { return authentication_; }
    QLabel* problemLabel(TextField field) const { return problems_.at(field); }
    QPlainTextEdit* mailStatus() const { return mailStatus_; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* addField(QFormLayout* form, const QString& label, TextField field);
    QLineEdit* addCheckedField(QFormLayout* form, const QString& label, TextField field);
    QLabel* addMessageSlot(QFormLayout* form, TextField field, int lines);
    QLabel* newMessageSlot(int lines);
    QCheckBox* addBox(const QString& label, CheckBox box, void (OrbalenStatusPrefPane::*action)());
    QGroupBox* titleGroup();
    QGroupBox* mailGroup();
    QGroupBox* externalGroup();
    QGroupBox* addressesGroup();

    std::map<TextField, QLineEdit*> fields_;
    std::map<TextField, QLabel*> problems_;
    QLabel* startAtLoginProblem_ = nullptr;
    std::map<CheckBox, QCheckBox*> boxes_;
    QComboBox* authentication_ = nullptr;
    QLabel* versionInfo_ = nullptr;
    QPlainTextEdit* mailStatus_ = nullptr;
    OrbalenStatusPrefPane pane_;
};

}  // namespace prefpane
