#include "search/find_headless.h"

#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mapview/map_page.h"
#include "platform/text.h"
#include "search/find_city_dialogs.h"
#include "search/find_search_dialogs.h"

namespace velka {
namespace {

void Say(const std::string& strLine) {
    std::fprintf(stderr, "dialog: find: %s\n", strLine.c_str());
    std::fflush(stderr);
}

void SayRows(CFindDialog& dlg) {
    if (dlg.CityView()) {
        const int nCity = dlg.SelectedCity();
        Say("city " + std::to_string(nCity) + ": " +
            (nCity >= 0 ? dlg.CityModel()->data(dlg.CityModel()->index(nCity), Qt::DisplayRole).toString().toStdString()
                        : std::string()));
    }
    CFindResultModel* pModel = dlg.ResultModel();
    if (!pModel) return;
    Say(std::to_string(pModel->rowCount()) + " rows, selected " + std::to_string(dlg.SelectedResult()));
    for (int r = 0; r < pModel->rowCount() && r < 50; ++r) {
        std::string strLine = "row " + std::to_string(r) + ":";
        for (int c = 0; c < c_cFindColumns; ++c)
            strLine += (c ? " | " : " ") + pModel->data(pModel->index(r, c), Qt::DisplayRole).toString().toStdString();
        Say(strLine);
    }
}

QLineEdit* FieldOf(CFindDialog& dlg, const std::string& strVerb) {
    if (strVerb == "city") return dlg.CityEdit();
    if (auto* p = dynamic_cast<CFindAddressDialog*>(&dlg)) {
        if (strVerb == "street") return p->StreetEdit();
        if (strVerb == "house") return p->HouseEdit();
        if (strVerb == "zip") return p->ZipEdit();
    }
    if (auto* p = dynamic_cast<CFindNearestDialog*>(&dlg)) {
        if (strVerb == "name") return p->NameEdit();
        if (strVerb == "radius") return p->RadiusEdit();
    }
    if (auto* p = dynamic_cast<CFindInCityDialog*>(&dlg))
        if (strVerb == "name") return p->NameEdit();
    return nullptr;
}

} // namespace

void RunHeadlessFind(CFindDialog& dlg) {
    Say("open " + dlg.windowTitle().toStdString());
    SayRows(dlg);
    const char* szScript = std::getenv("VELKA_HEADLESS_FIND");
    const std::string strScript = szScript && *szScript ? szScript : "close";
    for (const auto& [strCommand, strVerb, strArg] : ParseCommandScript(strScript)) {
        if (dlg.result() != QDialog::Rejected) break;
        if (strVerb == "close") {
            Say(strCommand);
            break;
        }
        const auto tStart = std::chrono::steady_clock::now();
        if (QLineEdit* pField = FieldOf(dlg, strVerb)) {
            // Typed, so that the dialogs hear it as from the keyboard.
            pField->clear();
            pField->insert(QString::fromStdString(strArg));
        } else if (strVerb == "type") {
            dlg.SetCookie(static_cast<std::size_t>(std::strtoul(strArg.c_str(), nullptr, 10)));
        } else if (strVerb == "search") {
            if (auto* p = dynamic_cast<CFindAddressDialog*>(&dlg)) p->Search();
            if (auto* p = dynamic_cast<CFindNearestDialog*>(&dlg)) p->Search();
        } else if (strVerb == "select") {
            dlg.SelectRow(std::atoi(strArg.c_str()));
        } else if (strVerb == "show") {
            dlg.ShowOnMap();
        } else if (strVerb == "goto") {
            dlg.GoTo();
        } else {
            Say("unknown command " + strVerb);
            continue;
        }
        // How long the command took.
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - tStart);
        char szTime[32];
        std::snprintf(szTime, sizeof szTime, " (%.1f ms)", static_cast<double>(us.count()) / 1000.0);
        Say(strCommand + szTime);
        if (strVerb == "show")
            if (const CMapPage* pPage = MapPage())
                Say("map centre " + std::to_string(pPage->Position().CenterX()) + " " +
                    std::to_string(pPage->Position().CenterY()) + " scale " +
                    std::to_string(pPage->Position().ScaleIndex()));
        SayRows(dlg);
    }
    if (dlg.result() == QDialog::Rejected) dlg.done(QDialog::Rejected);
    Say(dlg.result() == QDialog::Accepted ? "closed with a choice" : "closed");
}

} // namespace velka
