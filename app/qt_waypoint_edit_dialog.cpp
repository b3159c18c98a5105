#include "app/qt_waypoint_edit_dialog.h"

#include "app/qt_dialog_size.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/qt_waypoint_list_dialog.h"
#include "platform/text.h"
#include "shell/message_boxes.h"
#include "shell/resources.h"
#include "shell/string_ids.h"
#include "tracks/semicircles.h"
#include "waypoints/waypoint_list.h"

namespace velka {

QString QtText(const std::u16string& s) {
    return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

std::u16string CoreText(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size()));
}

namespace {


QString Str(UINT uId) { return QtText(LoadStr(uId)); }

// A line edit that takes at least the given length, and the whole of a
// longer stored text.
QLineEdit* NewTextEdit(const std::u16string& strText, int cchMax) {
    auto* p = new QLineEdit;
    p->setMaxLength(std::max(cchMax, static_cast<int>(strText.size())));
    p->setText(QtText(strText));
    return p;
}

// A value field with its unit label beside it.
QWidget* WithUnit(QLineEdit* pEdit, const std::u16string& strUnit) {
    auto* pRow = new QWidget;
    auto* pLayout = new QHBoxLayout(pRow);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(pEdit, 1);
    pLayout->addWidget(new QLabel(QtText(strUnit)));
    return pRow;
}

void SelectData(QComboBox* pCombo, int nData) {
    const int i = pCombo->findData(nData);
    pCombo->setCurrentIndex(i >= 0 ? i : 0);
}

// The label text of a form row without its colon, for messages.
std::u16string FieldName(UINT uId) {
    std::u16string s = LoadStr(uId);
    if (!s.empty() && s.back() == u':') s.pop_back();
    return s;
}

void Say(const std::string& strLine) {
    std::fprintf(stderr, "%s\n", strLine.c_str());
    std::fflush(stderr);
}

} // namespace

CWaypointEditDialog::CWaypointEditDialog(Waypoint& wp, bool fNew, QWidget* pParent) : QDialog(pParent), m_wp(wp) {
    setWindowTitle(Str(fNew ? IDS_WPT_TITLE_NEW : IDS_WPT_TITLE_PROPERTIES));

    m_pName = NewTextEdit(wp.strName, c_cchWaypointName);
    m_pComment = NewTextEdit(wp.strComment, c_cchWaypointComment);

    m_pSymbol = new QComboBox;
    const auto& fnPixmap = WaypointSymbolPixmap();
    for (int t = 0; t < c_cWaypointCount; ++t) {
        const QString strName = QtText(WaypointTypeName(static_cast<WORD>(t)));
        if (fnPixmap)
            m_pSymbol->addItem(QIcon(fnPixmap(static_cast<WORD>(t))), strName, t);
        else
            m_pSymbol->addItem(strName, t);
    }
    // An imported symbol number beyond the known set is kept as it is.
    if (wp.wType >= c_cWaypointCount) m_pSymbol->addItem(QString::number(wp.wType), wp.wType);
    SelectData(m_pSymbol, wp.wType);

    m_pShow = new QComboBox;
    for (int i = wsIcon; i <= wsIconAndDesc; ++i) m_pShow->addItem(Str(IDS_WAYPOINT_SHOW_FIRST + static_cast<UINT>(i)), i);
    if (wp.btShow > wsIconAndDesc) m_pShow->addItem(Str(IDS_WAYPOINT_SHOW_FIRST + wsIconAndDesc), wp.btShow); // drawn like 2
    SelectData(m_pShow, wp.btShow);

    m_strLatitude = QtText(LatitudeText(wp.lY));
    m_strLongitude = QtText(LongitudeText(wp.lX));
    m_pLatitude = new QLineEdit(m_strLatitude);
    m_pLongitude = new QLineEdit(m_strLongitude);

    if (wp.HasAltitude()) m_strAltitude = QtText(WaypointValueText(wvAltitude, wp.fAltitude));
    if (wp.fDepth != 0) m_strDepth = QtText(WaypointValueText(wvDepth, wp.fDepth));
    if (wp.dwFlags & wfProximity) m_strProximity = QtText(WaypointValueText(wvProximity, wp.fProximity));
    if (wp.dwFlags & wfTemperature) m_strTemperature = QtText(WaypointValueText(wvTemperature, wp.fTemperature));
    m_pAltitude = new QLineEdit(m_strAltitude);
    m_pDepth = new QLineEdit(m_strDepth);
    m_pProximity = new QLineEdit(m_strProximity);
    m_pTemperature = new QLineEdit(m_strTemperature);
    for (QLineEdit* p : {m_pLatitude, m_pLongitude, m_pAltitude, m_pDepth, m_pProximity, m_pTemperature})
        p->setMaxLength(40);

    m_pTime = new QLabel(QtText(WaypointTimeText(wp.dTime)));
    m_pTime->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* pFields = new QWidget;
    auto* pForm = new QFormLayout(pFields);
    pForm->setRowWrapPolicy(QFormLayout::WrapLongRows);
    pForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    pForm->setContentsMargins(4, 4, 4, 4);
    pForm->setVerticalSpacing(4);
    pForm->addRow(Str(IDS_WPT_NAME), m_pName);
    pForm->addRow(Str(IDS_WPT_COMMENT), m_pComment);
    pForm->addRow(Str(IDS_WPT_SYMBOL), m_pSymbol);
    pForm->addRow(Str(IDS_WPT_SHOW), m_pShow);
    pForm->addRow(Str(IDS_WPT_LATITUDE), m_pLatitude);
    pForm->addRow(Str(IDS_WPT_LONGITUDE), m_pLongitude);
    pForm->addRow(Str(IDS_WPT_ALTITUDE), WithUnit(m_pAltitude, WaypointValueUnit(wvAltitude)));
    pForm->addRow(Str(IDS_WPT_DEPTH), WithUnit(m_pDepth, WaypointValueUnit(wvDepth)));
    pForm->addRow(Str(IDS_WPT_PROXIMITY), WithUnit(m_pProximity, WaypointValueUnit(wvProximity)));
    pForm->addRow(Str(IDS_WPT_TEMPERATURE), WithUnit(m_pTemperature, WaypointValueUnit(wvTemperature)));
    pForm->addRow(Str(IDS_WPT_TIME), m_pTime);
    // Combo boxes of long symbol names must not widen the dialog.
    m_pSymbol->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_pSymbol->setMinimumContentsLength(8);
    m_pShow->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_pShow->setMinimumContentsLength(8);

    auto* pScroll = new QScrollArea;
    pScroll->setWidget(pFields);
    pScroll->setWidgetResizable(true);
    pScroll->setFrameShape(QFrame::NoFrame);
    pScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    pButtons->button(QDialogButtonBox::Ok)->setText(Str(IDS_WPT_OK));
    pButtons->button(QDialogButtonBox::Cancel)->setText(Str(IDS_WPT_CANCEL));
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(2, 2, 2, 4);
    pLayout->setSpacing(2);
    pLayout->addWidget(pScroll, 1);
    pLayout->addWidget(pButtons);
    m_pName->setFocus();
}

bool CWaypointEditDialog::Apply() {
    // Texts left as shown stay exactly as stored.
    const std::u16string strName =
        m_pName->text() == QtText(m_wp.strName) ? m_wp.strName : CoreText(m_pName->text().trimmed());
    if (strName.empty() || strName.find_first_not_of(u' ') == std::u16string::npos) {
        ShowError(IDS_WPT_NAME_EMPTY);
        m_pName->setFocus();
        return false;
    }
    // Position: a field left as shown keeps the stored semicircles.
    auto fnCoordinate = [](QLineEdit* pEdit, const QString& strShown, bool fLatitude, LONG& l) {
        if (pEdit->text() == strShown) return true;
        const std::u16string s = CoreText(pEdit->text());
        const auto d = ParseCoordinate(s, fLatitude);
        if (!d) {
            ShowError(fLatitude ? IDS_WPT_BAD_LATITUDE : IDS_WPT_BAD_LONGITUDE, s.c_str());
            pEdit->setFocus();
            return false;
        }
        l = DegreesToSemicircles(*d);
        return true;
    };
    LONG lX = m_wp.lX, lY = m_wp.lY;
    if (!fnCoordinate(m_pLatitude, m_strLatitude, true, lY) || !fnCoordinate(m_pLongitude, m_strLongitude, false, lX))
        return false;
    // Values: empty = none; a field left as shown is not written.
    struct Value {
        QLineEdit* pEdit;
        const QString& strShown;
        WaypointValueKind kind;
        UINT uLabel;
        bool fChanged;
        std::optional<float> value;
    };
    Value values[] = {
        {m_pAltitude, m_strAltitude, wvAltitude, IDS_WPT_ALTITUDE, false, {}},
        {m_pDepth, m_strDepth, wvDepth, IDS_WPT_DEPTH, false, {}},
        {m_pProximity, m_strProximity, wvProximity, IDS_WPT_PROXIMITY, false, {}},
        {m_pTemperature, m_strTemperature, wvTemperature, IDS_WPT_TEMPERATURE, false, {}},
    };
    for (Value& v : values) {
        if (v.pEdit->text() == v.strShown) continue;
        v.fChanged = true;
        const QString strText = v.pEdit->text().trimmed();
        if (strText.isEmpty()) continue;
        const std::u16string s = CoreText(strText);
        v.value = ParseWaypointValue(v.kind, s);
        if (!v.value) {
            ShowError(IDS_WPT_BAD_VALUE, FieldName(v.uLabel).c_str(), s.c_str());
            v.pEdit->setFocus();
            return false;
        }
    }

    m_wp.strName = strName;
    m_wp.strComment = CoreText(m_pComment->text());
    m_wp.wType = static_cast<WORD>(m_pSymbol->currentData().toInt());
    m_wp.btShow = static_cast<BYTE>(m_pShow->currentData().toInt());
    m_wp.lX = lX;
    m_wp.lY = lY;
    // A value with its flag: set when given, cleared with the value when not.
    auto fnFlagged = [this](const Value& v, float& fField, DWORD dwFlag, bool fFlagMeansNone) {
        if (!v.fChanged) return;
        fField = v.value.value_or(0.0f);
        if (v.value.has_value() != fFlagMeansNone)
            m_wp.dwFlags |= dwFlag;
        else
            m_wp.dwFlags &= ~dwFlag;
    };
    fnFlagged(values[0], m_wp.fAltitude, wfNoAltitude, true);
    if (values[1].fChanged) m_wp.fDepth = values[1].value.value_or(0.0f);
    fnFlagged(values[2], m_wp.fProximity, wfProximity, false);
    fnFlagged(values[3], m_wp.fTemperature, wfTemperature, false);
    return true;
}

void CWaypointEditDialog::accept() {
    if (Apply()) QDialog::accept();
}

bool RunWaypointEditDialog(Waypoint& wp, bool fNew, QWidget* pParent) {
    CWaypointEditDialog dlg(wp, fNew, pParent);
    SizeDialogToContent(dlg, pParent);
    return dlg.exec() == QDialog::Accepted;
}

bool HeadlessWaypointEdit(Waypoint& wp, bool fNew) {
    const std::string strTitle = ToUtf8(LoadStr(fNew ? IDS_WPT_TITLE_NEW : IDS_WPT_TITLE_PROPERTIES));
    std::u16string strPosition = LatitudeText(wp.lY) + u" " + LongitudeText(wp.lX);
    Say("dialog: waypoint: " + strTitle + ": " + ToUtf8(wp.strName) + " " + ToUtf8(strPosition));
    const char* szAnswer = std::getenv("VELKA_HEADLESS_WAYPOINT_EDIT");
    const bool fOk = !(szAnswer && std::string(szAnswer) == "cancel");
    if (fOk) {
        const char* szName = std::getenv("VELKA_HEADLESS_WAYPOINT_NAME");
        if (szName && *szName) wp.strName = FromUtf8(szName);
    }
    Say(std::string("dialog: waypoint: ") + (fOk ? "ok" : "cancel"));
    return fOk;
}

} // namespace velka
