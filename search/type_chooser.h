// The type chooser: the type-filter table as a tree (groups bold,
// categories under their group, single types under their category) with
// the row of the current cookie selected; the mode leaves out the row its
// dialog cannot search by. Its menu holds "open automatically" (40092,
// Find_AutoType).
#pragma once
#include <QDialog>
#include <cstddef>
#include <optional>

#include "search/find_models.h"
#include "search/find_settings.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace velka {

constexpr UINT ID_FIND_AUTO_TYPE = 40092;

// The (kind, wType) a row's icon shows: a single type's own, a category's
// key type, a group's first category's.
std::optional<std::pair<int, WORD>> TypeRowIconType(std::size_t iRow);

class CTypeChooserDialog : public QDialog {
public:
    CTypeChooserDialog(TypeChooserMode mode, std::size_t cCookie, const TypeNameFn& typeName,
                       const TypeIconFn& typeIcon, QWidget* pParent = nullptr);

    // The chosen row (the current one while the dialog runs).
    std::optional<std::size_t> Chosen() const;
    // Selects a row as a click would; false for a row the mode leaves out.
    bool Select(std::size_t iRow);
    QTreeWidget* Tree() const { return m_pTree; }
    QAction* AutoTypeAction() const { return m_pAutoType; }

private:
    QTreeWidget* m_pTree = nullptr;
    QAction* m_pAutoType = nullptr;
    std::vector<QTreeWidgetItem*> m_items; // by table row; null for the left-out row
};

// Runs the chooser over the parent; the chosen cookie, or null when
// cancelled.
std::optional<std::size_t> ChooseTypeFilter(TypeChooserMode mode, std::size_t cCookie, const TypeNameFn& typeName,
                                            const TypeIconFn& typeIcon, QWidget* pParent);

} // namespace velka
