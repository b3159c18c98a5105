#include "app/qt_route_properties_dialog.h"

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

#include "app/qt_dialog_size.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

QString Str(UINT uId) { return QString::fromStdU16String(LoadStr(uId)); }
QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }

// The route's colour is stored red, green, blue from the low byte up.
QColor ColorOf(DWORD dw) { return QColor(dw & 0xFF, (dw >> 8) & 0xFF, (dw >> 16) & 0xFF); }
DWORD ToRouteColor(const QColor& c) {
    return static_cast<DWORD>(c.red()) | (static_cast<DWORD>(c.green()) << 8) | (static_cast<DWORD>(c.blue()) << 16);
}

void ShowColor(QPushButton* pButton, const QColor& c) {
    pButton->setStyleSheet(QStringLiteral("background-color: %1").arg(c.name()));
}

} // namespace

bool RunRoutePropertiesDialog(Route& route, QWidget* pParent) {
    QDialog dlg(pParent);
    dlg.setWindowTitle(Str(IDS_MENU_ROUTE_PROPERTIES).remove(QStringLiteral("...")));
    auto* pName = new QLineEdit(Q(route.strName), &dlg);
    auto* pText2 = new QLineEdit(Q(route.strText2), &dlg);
    auto* pText3 = new QLineEdit(Q(route.strText3), &dlg);
    QColor color = ColorOf(route.dwColor);
    auto* pColor = new QPushButton(&dlg);
    ShowColor(pColor, color);
    QObject::connect(pColor, &QPushButton::clicked, &dlg, [&] {
        const QColor c = QColorDialog::getColor(color, &dlg);
        if (c.isValid()) ShowColor(pColor, color = c);
    });
    auto* pButtons = new QDialogButtonBox(&dlg);
    pButtons->addButton(Str(IDS_WPT_OK), QDialogButtonBox::AcceptRole);
    pButtons->addButton(Str(IDS_WPT_CANCEL), QDialogButtonBox::RejectRole);
    QObject::connect(pButtons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(pButtons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    auto* pForm = new QFormLayout(&dlg);
    pForm->addRow(Str(IDS_WPT_NAME), pName);
    pForm->addRow(Str(IDS_WPT_COMMENT), pText2);
    pForm->addRow(QString(), pText3);
    pForm->addRow(QString(), pColor);
    pForm->addRow(pButtons);
    SizeDialogToContent(dlg, pParent);
    if (dlg.exec() != QDialog::Accepted) return false;
    // An emptied name keeps the old one: every route is named.
    const std::u16string strName = pName->text().trimmed().toStdU16String();
    const std::u16string strText2 = pText2->text().toStdU16String(), strText3 = pText3->text().toStdU16String();
    const DWORD dwColor = ToRouteColor(color);
    const bool fChanged = (!strName.empty() && strName != route.strName) || strText2 != route.strText2 ||
                          strText3 != route.strText3 || dwColor != route.dwColor;
    if (!strName.empty()) route.strName = strName;
    route.strText2 = strText2;
    route.strText3 = strText3;
    route.dwColor = dwColor;
    return fChanged;
}

bool HeadlessRouteProperties(Route& route) {
    std::fprintf(stderr, "dialog: route: %s, %zu points\n", ToUtf8(route.strName).c_str(), route.points.size());
    return false;
}

} // namespace velka
