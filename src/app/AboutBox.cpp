#include "app/AboutBox.h"

#include <QMessageBox>
#include <optional>

#include "app/AppInfo.h"
#include "app/StatusIcons.h"

namespace app {

QMessageBox* NewAboutBox() {
    auto* box = new QMessageBox();
    const QString name = QString::fromLatin1(kName);
    box->setWindowTitle(QStringLiteral("About %1").arg(name));
    // From the icons built into the program, so it shows the same where the
    // icon theme lacks ours (a program run from its build folder).
    const QIcon icon = StatusIcon(std::nullopt);
    box->setWindowIcon(icon);
    box->setIconPixmap(icon.pixmap(48, 48));
    box->setTextFormat(Qt::RichText);
    box->setText(QStringLiteral("<b>%1</b> %2<p>%3</p><p>Licence: %4<br>Copyright © 2026 "
                                "Kestrune</p>")
                     .arg(name, QString::fromLatin1(kVersion),
                          QString::fromLatin1(kSummary).toHtmlEscaped(),
                          QString::fromLatin1(kLicence)));
    box->setStandardButtons(QMessageBox::Ok);
    return box;
}

}  // namespace app
