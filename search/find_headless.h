// The search dialogs without a screen (the headless navigator): a dialog
// is built, not shown, and driven by the commands of VELKA_HEADLESS_FIND,
// separated by ';': city=TEXT (typed into the city field), name=TEXT,
// street=TEXT, house=TEXT, zip=TEXT, radius=TEXT, type=COOKIE, search,
// select=ROW, show, goto, close (default "close"). Each step and the rows
// go to stderr as "dialog: find: ..." lines.
#pragma once
#include "search/find_dialog.h"

namespace velka {

void RunHeadlessFind(CFindDialog& dlg);

} // namespace velka
