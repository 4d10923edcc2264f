#include "app/about_dlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/icons.h"
#include "platform/licence.h"
#include "platform/qt/dialog_units.h"

namespace vokra {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Vokra"));
    setFont(DialogFont());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const DialogUnits du(font());

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(ApplicationIcon().pixmap(32, 32));
    auto* version = new QLabel(QString::fromLatin1(kVersionLine), this);
    version->setObjectName(QStringLiteral("aboutVersion"));
    auto* maker = new QLabel(QStringLiteral("Made by the Vokra developers"), this);
    auto* contact =
        new QLabel(QStringLiteral("Questions and reports: the Vokra project's issue tracker.\n"
                                  "The manual: Help > Help Topics."),
                   this);
    auto* licence = new QLabel(QStringLiteral("%1. Free software under the GNU General Public "
                                              "License,\nversion 3 or later "
                                              "(GPL-3.0-or-later), with NO WARRANTY.")
                                   .arg(QString::fromLatin1(kCopyrightLine)),
                               this);
    licence->setObjectName(QStringLiteral("aboutLicence"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(du.X(11), du.Y(11), du.X(11), du.Y(7));
    grid->setHorizontalSpacing(du.X(11));
    grid->addWidget(icon, 0, 0, 4, 1, Qt::AlignTop);
    grid->addWidget(version, 0, 1);
    grid->addWidget(maker, 1, 1);
    grid->addWidget(contact, 2, 1);
    grid->addWidget(licence, 3, 1);
    grid->addWidget(ok, 0, 2, Qt::AlignTop);
    ok->setFixedSize(du.X(32), du.Y(14));
    setFixedSize(sizeHint());
}

}  // namespace vokra
