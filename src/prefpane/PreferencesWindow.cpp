#include "prefpane/PreferencesWindow.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace prefpane {

PreferencesWindow::PreferencesWindow(PrefPaneServices services, QWidget* parent)
    : QDialog(parent), pane_(*this, std::move(services)) {
    setWindowTitle(QStringLiteral("OrbalenStatus Preferences"));
    versionInfo_ = new QLabel(this);
    QFont bold = versionInfo_->font();
    bold.setBold(true);
    versionInfo_->setFont(bold);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* left = new QVBoxLayout;
    left->addWidget(versionInfo_);
    left->addWidget(addBox(QStringLiteral("Start at lo&gin"), CheckBox::StartAtLogin,
                           &OrbalenStatusPrefPane::startAtLoginButtonClicked));
    startAtLoginProblem_ = newMessageSlot(2);
    left->addWidget(startAtLoginProblem_);
    left->addWidget(titleGroup());
    left->addWidget(externalGroup());
    left->addWidget(addressesGroup());
    left->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addWidget(mailGroup());
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    pane_.awakeFromNib();
}

void PreferencesWindow::present() {
    show();
    raise();
    activateWindow();
}

QGroupBox* PreferencesWindow::titleGroup() {
    auto* group = new QGroupBox(QStringLiteral("Panel title"), this);
    auto* column = new QVBoxLayout(group);
    column->addWidget(addBox(QStringLiteral("Show the &icon only"), CheckBox::TitleIconOnly,
                             &OrbalenStatusPrefPane::titleIconOnlyButtonClicked));
    column->addWidget(addBox(QStringLiteral("Show a different icon when the address &changes"),
                             CheckBox::DisplayChangedIcon,
                             &OrbalenStatusPrefPane::displayChangedIconWhenAddressChangeDetected));
    column->addWidget(addBox(QStringLiteral("Include the &machine name"),
                             CheckBox::IncludeMachineName,
                             &OrbalenStatusPrefPane::machineNameButtonClicked));
    column->addWidget(addBox(QStringLiteral("Include the &wireless network"),
                             CheckBox::IncludeCurrentWirelessNetwork,
                             &OrbalenStatusPrefPane::includeCurrentWirelessNetworkButtonClicked));
    return group;
}

QGroupBox* PreferencesWindow::mailGroup() {
    auto* group = new QGroupBox(QStringLiteral("E-mail notification"), this);
    auto* column = new QVBoxLayout(group);
    column->addWidget(addBox(QStringLiteral("&Send an e-mail when the address changes"),
                             CheckBox::SendEmailNotifications,
                             &OrbalenStatusPrefPane::sendEmailNotificationsButtonClicked));
    auto* form = new QFormLayout;
    column->addLayout(form);
    addField(form, QStringLiteral("Mail se&rver:"), TextField::MailServer)
        ->setPlaceholderText(QStringLiteral("smtp.example.org"));
    addCheckedField(form, QStringLiteral("P&ort:"), TextField::Port)->setFixedWidth(90);
    authentication_ = new QComboBox(group);
    authentication_->addItems(
        {QStringLiteral("None"), QStringLiteral("PLAIN"), QStringLiteral("LOGIN")});
    form->addRow(QStringLiteral("A&uthentication:"), authentication_);
    addField(form, QStringLiteral("User &name:"), TextField::Username);
    addField(form, QStringLiteral("&Password:"), TextField::Password)
        ->setEchoMode(QLineEdit::Password);
    auto* inFile = new QCheckBox(QStringLiteral("&Keep in the settings file (plain text)"), this);
    boxes_[CheckBox::PasswordInFile] = inFile;
    form->addRow(QString(), inFile);
    addMessageSlot(form, TextField::Password, 4);
    addCheckedField(form, QStringLiteral("Recipien&ts:"), TextField::Email)
        ->setPlaceholderText(QStringLiteral("you@example.org, other@example.org"));
    auto* test = new QPushButton(QStringLiteral("Send Test &E-mail"), group);
    test->setAutoDefault(false);
    connect(test, &QPushButton::clicked, this, [this] { pane_.testEmail(); });
    form->addRow(QString(), test);
    mailStatus_ = new QPlainTextEdit(group);
    mailStatus_->setReadOnly(true);
    mailStatus_->setFocusPolicy(Qt::NoFocus);
    mailStatus_->setFrameShape(QFrame::NoFrame);
    mailStatus_->setPlaceholderText(QStringLiteral("How each test e-mail goes shows here."));
    mailStatus_->setFixedHeight(mailStatus_->fontMetrics().lineSpacing() * 4 + 8);
    form->addRow(mailStatus_);
    return group;
}

QGroupBox* PreferencesWindow::externalGroup() {
    auto* group = new QGroupBox(QStringLiteral("External address"), this);
    auto* column = new QVBoxLayout(group);
    column->addWidget(addBox(QStringLiteral("Show the e&xternal address"),
                             CheckBox::IncludeExternalIP,
                             &OrbalenStatusPrefPane::externalIPButtonClicked));
    column->addWidget(addBox(QStringLiteral("E-mail changes of the external a&ddress"),
                             CheckBox::EmailChangesToExternalIPAddress,
                             &OrbalenStatusPrefPane::emailChangesToExternalIPAddressButtonClicked));
    auto* form = new QFormLayout;
    column->addLayout(form);
    addCheckedField(form, QStringLiteral("Check e&very (minutes):"), TextField::MinutesInterval)
        ->setFixedWidth(90);
    return group;
}

QGroupBox* PreferencesWindow::addressesGroup() {
    auto* group = new QGroupBox(QStringLiteral("Last known addresses"), this);
    auto* form = new QFormLayout(group);
    addField(form, QStringLiteral("Internal:"), TextField::LastIPAddress)->setReadOnly(true);
    addField(form, QStringLiteral("External:"), TextField::LastExternalIPAddress)
        ->setReadOnly(true);
    return group;
}

QLineEdit* PreferencesWindow::addField(QFormLayout* form, const QString& label, TextField field) {
    auto* edit = new QLineEdit(this);
    edit->setMinimumWidth(260);
    form->addRow(label, edit);
    fields_[field] = edit;
    return edit;
}

// A field whose input is checked as it is typed, with its message below it.
QLineEdit* PreferencesWindow::addCheckedField(QFormLayout* form, const QString& label,
                                              TextField field) {
    QLineEdit* edit = addField(form, label, field);
    addMessageSlot(form, field, 2);
    connect(edit, &QLineEdit::textEdited, this, [this, field] { pane_.checkField(field); });
    return edit;
}

QLabel* PreferencesWindow::newMessageSlot(int lines) {
    auto* problem = new QLabel(this);
    problem->setStyleSheet(QStringLiteral("color: #c01c28;"));
    problem->setWordWrap(true);
    problem->setTextFormat(Qt::PlainText);  // messages quote paths and typed text
    problem->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    problem->setFixedHeight(problem->fontMetrics().lineSpacing() * lines);
    problem->setFixedWidth(300);
    return problem;
}

// The message of field, in room for lines lines that is always reserved, so
// a message never makes the window grow.
QLabel* PreferencesWindow::addMessageSlot(QFormLayout* form, TextField field, int lines) {
    QLabel* problem = newMessageSlot(lines);
    form->addRow(QString(), problem);
    problems_[field] = problem;
    return problem;
}

QCheckBox* PreferencesWindow::addBox(const QString& label, CheckBox box,
                                     void (OrbalenStatusPrefPane::*action)()) {
    auto* check = new QCheckBox(label, this);
    connect(check, &QCheckBox::clicked, this, [this, action] { (pane_.*action)(); });
    boxes_[box] = check;
    return check;
}

std::string PreferencesWindow::text(TextField field) const {
    if (field == TextField::VersionInfo) {
        return versionInfo_->text().toStdString();
    }
    return fields_.at(field)->text().toStdString();
}

void PreferencesWindow::setText(TextField field, const std::string& text) {
    if (field == TextField::VersionInfo) {
        versionInfo_->setText(QString::fromStdString(text));
    } else {
        fields_.at(field)->setText(QString::fromStdString(text));
    }
}

bool PreferencesWindow::isChecked(CheckBox box) const {
    return boxes_.at(box)->isChecked();
}

void PreferencesWindow::setChecked(CheckBox box, bool on) {
    boxes_.at(box)->setChecked(on);
}

int PreferencesWindow::authenticationIndex() const {
    return std::max(0, authentication_->currentIndex());
}

void PreferencesWindow::selectAuthentication(int index) {
    authentication_->setCurrentIndex(index);
}

void PreferencesWindow::showProblem(TextField field, const std::string& message) {
    const auto found = problems_.find(field);
    if (found != problems_.end()) {
        found->second->setText(QString::fromStdString(message));
    }
}

void PreferencesWindow::showProblem(CheckBox box, const std::string& message) {
    if (box == CheckBox::StartAtLogin) {
        startAtLoginProblem_->setText(QString::fromStdString(message));
    }
}

void PreferencesWindow::showMailStatus(const std::string& lines) {
    mailStatus_->setPlainText(QString::fromStdString(lines));
}

// Every way of closing ends here: Close, Escape and the window manager's
// close all reject the dialog. It stays open when the password could not
// be kept, its note saying why.
void PreferencesWindow::done(int result) {
    if (pane_.windowWillClose()) {
        QDialog::done(result);
    }
}

void PreferencesWindow::showEvent(QShowEvent* event) {
    pane_.windowDidBecomeKey();
    QDialog::showEvent(event);
}

}  // namespace prefpane
